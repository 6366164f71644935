// Entry points of the generated scanner, used by CSmiScanner only.
#pragma once

#include <cstdio>
#include <string>

int SmiScan(const CSmiToken** lval, void* scanner);
void* SmiScanCreateBuffer(FILE* file, void* scanner);
void SmiScanDeleteBuffer(void* buffer, void* scanner);
// Makes buffer current; null leaves the scanner without a current buffer.
void SmiScanSwitchBuffer(void* buffer, void* scanner);
int SmiScanStartCondition(void* scanner);
// Empties the start-condition stack and enters condition.
void SmiScanSetStartCondition(int condition, void* scanner);
