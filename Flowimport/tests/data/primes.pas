{ Сколько простых чисел от 2 до n. }
program Primes;
var
  n, k, d, count, prime: LongInt;
begin
  readln(n);
  count := 0;
  for k := 2 to n do
  begin
    prime := 1;
    d := 2;
    while d * d <= k do
    begin
      if k mod d = 0 then
        prime := 0;
      d := d + 1;
    end;
    if prime = 1 then
      count := count + 1;
  end;
  writeln(count);
end.
