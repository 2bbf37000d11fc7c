// Asking the user for keywords and real numbers.
#pragma once

class CGetInputUtil {
public:
    CGetInputUtil() = default;
    virtual ~CGetInputUtil() = default;

    // One keyword of the blank-separated list, as its index. With a default
    // keyword, empty input chooses defaultIndex. False when cancelled or
    // when the answer is none of the listed keywords (index unchanged).
    static bool GetKeyword(const wchar_t* prompt, const wchar_t* keywords, const wchar_t* defaultKeyword,
                           int defaultIndex, int& index);
    // A real number; the prompt shows the default with decimalPlaces
    // decimals, and empty input keeps it.
    static bool GetReal(const wchar_t* prompt, double defaultValue, int decimalPlaces, double& value);
};
