// The language driver ids of the dBase header, as the Visual FoxPro code page
// marks and the BDE's drivers number them. Several ids name the same code page
// (a German and a US driver differ in their sort order, not in their
// characters): reading maps all of them, writing picks one per code page.
#include "tablestore/dbase/DbfLanguageDrivers.h"

#include "tablestore/dbase/DbfFormat.h"

#include <cctype>
#include <string>

namespace kimport::dbase {

namespace {

struct DriverEntry {
    unsigned char driver;
    int codePage;
};

// Mac code pages carry their Windows numbers (10000 Roman, 10007 Cyrillic, ...). Where the published
// tables disagree (0x03, 0x65, 0x66), the one real files follow is taken: 0x03 is 1252, 0x65 866.
constexpr DriverEntry kDrivers[] = {
    {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x04, 10000}, {0x08, 865},   {0x09, 437},   {0x0A, 850},  {0x0B, 437},
    {0x0D, 437},  {0x0E, 850},  {0x0F, 437},  {0x10, 850},   {0x11, 437},   {0x12, 850},   {0x13, 932},  {0x14, 850},
    {0x15, 437},  {0x16, 850},  {0x17, 865},  {0x18, 437},   {0x19, 437},   {0x1A, 850},   {0x1B, 437},  {0x1C, 863},
    {0x1D, 850},  {0x1F, 852},  {0x22, 852},  {0x23, 852},   {0x24, 860},   {0x25, 850},   {0x26, 866},  {0x37, 850},
    {0x40, 852},  {0x4D, 936},  {0x4E, 949},  {0x4F, 950},   {0x50, 874},   {0x57, 1252},  {0x58, 1252}, {0x59, 1252},
    {0x64, 852},  {0x65, 866},  {0x66, 865},  {0x67, 861},   {0x68, 895},   {0x69, 620},   {0x6A, 737},  {0x6B, 857},
    {0x6C, 863},  {0x78, 950},  {0x79, 949},  {0x7A, 936},   {0x7B, 932},   {0x7C, 874},   {0x7D, 1255}, {0x7E, 1256},
    {0x86, 737},  {0x87, 852},  {0x88, 857},  {0x96, 10007}, {0x97, 10029}, {0x98, 10006}, {0xC8, 1250}, {0xC9, 1251},
    {0xCA, 1254}, {0xCB, 1253}, {0xCC, 1257},
};

}  // namespace

int usualCodePage(int version) {
    return isVisualFoxPro(version) ? 1252 : 437;
}

int codePageOfLanguageDriver(int driver) {
    for (const DriverEntry& e : kDrivers)
        if (e.driver == driver) return e.codePage;
    return 0;
}

// Level-7 names carry the code page in their digits (DB437US0, DB850DE0); the Windows ones say DBWIN.
int codePageOfDriverName(std::string_view name) {
    if (name.size() >= 5 && name.substr(0, 5) == "DBWIN") return 1252;
    if (name.size() >= 5 && name.substr(0, 2) == "DB" && std::isdigit(static_cast<unsigned char>(name[2])) &&
        std::isdigit(static_cast<unsigned char>(name[3])) && std::isdigit(static_cast<unsigned char>(name[4])))
        return std::stoi(std::string(name.substr(2, 3)));
    return 0;
}

// For each code page one driver that names it: the US or international one of a DOS page, the
// ANSI or the national one of a Windows page.
int languageDriverForCodePage(int codePage) {
    switch (codePage) {
        case 437:
            return 0x01;
        case 850:
            return 0x02;
        // 0x57 is the ANSI driver dBase and the BDE write; FoxPro's mark 0x03 means the same.
        case 1252:
            return 0x57;
        case 852:
            return 0x64;
        case 866:
            return 0x65;
        case 865:
            return 0x66;
        case 861:
            return 0x67;
        case 737:
            return 0x6A;
        case 857:
            return 0x6B;
        case 863:
            return 0x6C;
        case 860:
            return 0x24;
        case 874:
            return 0x7C;
        case 1250:
            return 0xC8;
        case 1251:
            return 0xC9;
        case 1253:
            return 0xCB;
        case 1254:
            return 0xCA;
        case 1255:
            return 0x7D;
        case 1256:
            return 0x7E;
        case 1257:
            return 0xCC;
        default:
            return 0;
    }
}

}  // namespace kimport::dbase
