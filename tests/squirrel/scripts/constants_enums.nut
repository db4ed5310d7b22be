// Constants and enumerations
const PI2 = 6.28;
const NAME = "torvane";
const FLAG = true;
const NEG = -5;
enum Color { Red, Green = 5, Blue }
enum Str { A = "a", B = "b" }
print(PI2 + " " + NAME + " " + FLAG + " " + NEG + "\n");
print(Color.Red + " " + Color.Green + " " + Color.Blue + " " + Str.B + "\n");
function usesConst() { return NAME + Color.Blue; }
print(usesConst() + "\n");
print(getconsttable().NAME + "\n");
// members without a value count up from 0 on their own
enum Mixed { A = 5, B, C, D = 10, F }
enum Neg { X = -2, Y }
print(Mixed.A + " " + Mixed.B + " " + Mixed.C + " " + Mixed.D + " " + Mixed.F + " " + Neg.Y + "\n");
