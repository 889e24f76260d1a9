// The miscellaneous built-ins: events performed from code, debug text, alarms, variables by
// name, the game speed, the window and clipboard rows, and (through Function_Date) the date
// and time built-ins.
#pragma once

// Adds the family's rows to the built-in function table, in their fixed order.
void InitMiscFunctions();
