# Наибольший общий делитель двух чисел по алгоритму Евклида.
a = int(input())
b = int(input())
while b != 0:
    rest = a % b
    a = b
    b = rest
print(a)
