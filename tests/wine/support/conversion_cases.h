// Inputs of the new-port field and what a 32-bit wcstoul(text, 0, 10) makes
// of them; shared by the native test and the differential test under Wine.
#pragma once

// Rows carry their line in this file, so that a failure names the row.
const char kConversionCasesFile[] = __FILE__;

struct ConversionCase {
    int line;
    const char* label;
    const wchar_t* text;
    unsigned long expected;
};

const ConversionCase kConversionCases[] = {
    {__LINE__, "empty", L"", 0},
    {__LINE__, "blanks only", L"   ", 0},
    {__LINE__, "plain", L"8080", 8080},
    {__LINE__, "leading blanks and tab", L" \t 12345", 12345},
    {__LINE__, "letters after digits", L"12345abc", 12345},
    {__LINE__, "blank, digits, letters", L" 4000x9", 4000},
    {__LINE__, "letters first", L"abc123", 0},
    {__LINE__, "plus sign", L"+5000", 5000},
    {__LINE__, "minus one", L"-1", 4294967295ul},
    {__LINE__, "minus 3389", L"-3389", 4294963907ul},
    {__LINE__, "minus zero", L"-0", 0},
    {__LINE__, "sign alone", L"-", 0},
    {__LINE__, "two signs", L"+-5", 0},
    {__LINE__, "blank after sign", L"- 5", 0},
    {__LINE__, "largest 32-bit", L"4294967295", 4294967295ul},
    {__LINE__, "one past 32 bits", L"4294967296", 4294967295ul},
    {__LINE__, "2^32 + 8080", L"4294975376", 4294967295ul},
    {__LINE__, "twenty digits", L"99999999999999999999", 4294967295ul},
    {__LINE__, "leading zeros", L"0008080", 8080},
    {__LINE__, "31 zeros", L"0000000000000000000000000000000", 0},
    {__LINE__, "hex prefix in base 10", L"0x1F", 0},
    {__LINE__, "decimal point", L"3389.5", 3389},
};
