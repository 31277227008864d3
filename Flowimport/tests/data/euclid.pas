{ Наибольший общий делитель двух чисел по алгоритму Евклида. }
program Euclid;
var
  a, b, rest: LongInt;
begin
  readln(a);
  readln(b);
  while b <> 0 do
  begin
    rest := a mod b;
    a := b;
    b := rest;
  end;
  writeln(a);
end.
