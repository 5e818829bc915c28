// Numbers as text in the C locale ("3.14", never "3,14"), whatever locale the process runs
// in: the object manager, the interface-file loader and the numeric controls read and write
// numbers through these, so a comma-decimal locale neither cuts "3.14" to 3 nor prints it
// with a comma. Needs no X.
#pragma once

#include <cstddef>
#include <string>

// strtod in the C locale: the same prefix rules (leading blanks, sign, digits, exponent,
// "inf", "nan", hexadecimal), *end (when given) set to the first character not used.
double NUMstrtod(const char* text, char** end);

// snprintf in the C locale; returns what snprintf returns (the full length, even when cut).
int NUMsnprintf(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The whole formatted text in the C locale, sized from snprintf's answer: never cut.
std::string NUMformat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A whole text that is a finite number (blanks allowed around it); false for anything else
// ("", "-", "3x", "1e999", "nan").
bool NUMparse_real(const char* text, double* value);
