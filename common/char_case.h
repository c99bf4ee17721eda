// Case mapping of single 8-bit characters: ASCII letters, plus the Latin letters of the upper
// half of Windows-1252/ISO 8859-1 (0xC0-0xDE <-> 0xE0-0xFE without the multiplication and
// division signs) and the ordinal indicators' neighbours 0xAA/0xBA and 0xAF/0xBF.
#pragma once

char LowerChar(char c);
char UpperChar(char c);
