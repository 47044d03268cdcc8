#pragma once
// The faces players show at their seats and put into chat lines: 18 of them, each written in a
// chat line as its code, "/01" ... "/18". The skin names the faces' pictures by these codes (the
// rich text box shows a code as its picture), and the host's face picker types them.

#include <cstdio>
#include <string>

constexpr int kKavdorFaceCount = 18;

inline std::string KavdorFaceCode(int face)
{
    char code[8];
    std::snprintf(code, sizeof code, "/%02d", face);
    return code;
}
