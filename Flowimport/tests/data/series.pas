{ Сумма ряда: 1*1 + 2*2 + ... + n*n. }
program Series;
var
  n, i, total: LongInt;
begin
  readln(n);
  total := 0;
  for i := 1 to n do
    total := total + i * i;
  writeln(total);
end.
