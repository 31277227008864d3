# Сумма ряда: 1*1 + 2*2 + ... + n*n.
n = int(input())
total = 0
for i in range(1, n + 1):
    total = total + i * i
print(total)
