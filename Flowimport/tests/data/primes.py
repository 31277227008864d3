# Сколько простых чисел от 2 до n.
n = int(input())
count = 0
for k in range(2, n + 1):
    is_prime = 1
    d = 2
    while d * d <= k:
        if k % d == 0:
            is_prime = 0
        d += 1
    if is_prime == 1:
        count += 1
print(count)
