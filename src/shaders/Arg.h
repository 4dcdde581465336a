#pragma once

#include "common/Export.h"
#include "shaders/ShaderTypes.h"

#include <cstdint>
#include <string>

namespace OGL_TESK_AE {

// One typed value: a text (string, texture names), an integer (bool, int, submenu), a float
// (float, angle, time) or four floats (color, point). The typed accessors read and write the
// storage as the named type without converting.
class TESK_API Arg {
public:
    Arg();
    // Type guessed from the text: letters or a quote make a string, '[' a point, a '.' a float,
    // anything else an int.
    explicit Arg(const char* valueText);
    // An unknown keyword gives an empty value of type none.
    Arg(const char* typeKeyword, const char* valueText);
    Arg(const char* typeKeyword, const void* rawValue);
    Arg(efargTypes type, const char* valueText);
    Arg(const Arg& other);
    Arg& operator=(const Arg& other);
    virtual ~Arg();

    // Re-reads the value from text with the current type.
    void Set(const char* valueText);
    void Set(efargTypes type, const char* valueText);
    // Copies 4 bytes (bool, int, float, angle, time, submenu), 16 (color, point) or a text.
    void Set(efargTypes type, const void* rawValue);

    efargTypes GetType() const { return fType; }
    int32_t GetInt() const;
    bool GetBool() const { return GetInt() != 0; }
    float GetFloat() const;
    // The text of a text type; null for other types and for a cleared value.
    const char* GetString() const;
    const float* GetFloatPtr() const { return fNumbers; }
    void SetInt(int32_t value);
    void SetBool(bool value) { SetInt(value ? 1 : 0); }
    void SetFloat(float value);
    void SetString(const char* text);
    void SetFloatPtr(const float* values);

    bool equals(const Arg& other) const;
    void Clear();

    static efargTypes TypeOfKeyword(const char* keyword);
    static efargTypes GuessType(const char* valueText);
    static bool IsTextType(efargTypes type);

private:
    efargTypes fType = kArgNone;
    bool fStored = false;
    float fNumbers[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    std::string fText;
};

} // namespace OGL_TESK_AE
