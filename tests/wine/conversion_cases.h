// Inputs of the new-port field and what a 32-bit wcstoul(text, 0, 10) makes
// of them; shared by the native test and the differential test under Wine.
#pragma once

struct ConversionCase {
    const char* label;
    const wchar_t* text;
    unsigned long expected;
};

const ConversionCase kConversionCases[] = {
    {"empty", L"", 0},
    {"blanks only", L"   ", 0},
    {"plain", L"8080", 8080},
    {"leading blanks and tab", L" \t 12345", 12345},
    {"letters after digits", L"12345abc", 12345},
    {"blank, digits, letters", L" 4000x9", 4000},
    {"letters first", L"abc123", 0},
    {"plus sign", L"+5000", 5000},
    {"minus one", L"-1", 4294967295ul},
    {"minus 3389", L"-3389", 4294963907ul},
    {"minus zero", L"-0", 0},
    {"sign alone", L"-", 0},
    {"two signs", L"+-5", 0},
    {"blank after sign", L"- 5", 0},
    {"largest 32-bit", L"4294967295", 4294967295ul},
    {"one past 32 bits", L"4294967296", 4294967295ul},
    {"2^32 + 8080", L"4294975376", 4294967295ul},
    {"twenty digits", L"99999999999999999999", 4294967295ul},
    {"leading zeros", L"0008080", 8080},
    {"31 zeros", L"0000000000000000000000000000000", 0},
    {"hex prefix in base 10", L"0x1F", 0},
    {"decimal point", L"3389.5", 3389},
};
