#pragma once
// The vehicle make list and each entry's code record section in the data file.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vx414 {

// Data address of the first data byte; places in the data file are kept as data addresses.
inline constexpr std::uint32_t DataAddressBase = 0x10000000;
// Data address of the glossary.
inline constexpr std::uint32_t GlossaryAddress = 0x1000000E;
// Glossary entries (term, explanation) stored from GlossaryAddress on.
inline constexpr int kGlossaryEntries = 832;
// Rows the in-memory definitions table is given before a load. It grows past them as
// records come: the generic rows alone now pass 9,000, and a make's behind them 10,000.
inline constexpr int kDefinitionRows = 10000;
// The most rows the table takes, the range of the 16-bit row count the window's state
// keeps; far more than any file holds, it bounds what a damaged file can make us allocate.
inline constexpr int kMaxDefinitionRows = 32767;

// position = (address - 0x10000000) * 2 + 1, in signed 32-bit arithmetic.
constexpr std::int32_t positionOfAddress(std::uint32_t address) {
  return static_cast<std::int32_t>(address - DataAddressBase) * 2 + 1;
}

struct MakeSection {
  std::string_view name;
  std::uint32_t start;  // data address of the first record
  std::uint32_t end;    // the load stops after the record ending at or past this address
};

// The 67 entries of the make list, in the list's order; entry 0 is "generic".
inline constexpr std::array<MakeSection, 67> kMakeSections{{
    {"generic", 0x100069F0, 0x10034220},
    {"acura", 0x1003425A, 0x10035ED6},
    {"alfa romeo", 0x10035EEF, 0x10046620},
    {"audi", 0x10046663, 0x10061230},
    {"bmw", 0x10061254, 0x10085300},
    {"buick", 0x1008533E, 0x1009D770},
    {"cadillac", 0x1009D795, 0x100B5AE0},
    {"chevrolet", 0x100B5B11, 0x100DD560},
    {"chrysler", 0x100DD597, 0x100F2EF4},
    {"citroen", 0x100F2F32, 0x101045E0},
    {"dacia logan", 0x10104621, 0x10114680},
    {"daewoo", 0x101146C1, 0x10114FD0},
    {"daihatsu copen", 0x10115003, 0x10125D20},
    {"deawoo nubira", 0x10125D66, 0x10136BC0},
    {"dodge", 0x10136BFE, 0x10149BF0},
    {"fiat", 0x10149C24, 0x1015A4B0},
    {"ford", 0x1015A4DA, 0x101862C0},
    {"general motors", 0x101862E6, 0x1019E710},
    {"geo", 0x1019E737, 0x1019EA50},
    {"gmc", 0x1019EA7D, 0x101B6EA0},
    {"honda", 0x101B6ED0, 0x101C9500},
    {"hyundai", 0x101C9539, 0x101DD280},
    {"infiniti", 0x101DD2C7, 0x101DE0A0},
    {"isuzu", 0x101DE0C1, 0x101EF2C0},
    {"iveco daily", 0x101EF2FE, 0x101FF3B0},
    {"jaguar", 0x101FF3E6, 0x10213600},
    {"jeep", 0x10213637, 0x10216540},
    {"kia", 0x1021658B, 0x10228AA0},
    {"lada samara", 0x10228AED, 0x10238B70},
    {"lancia lybra", 0x10238B98, 0x10248E40},
    {"land rover", 0x10248E7F, 0x1025C4C0},
    {"ldv convoy", 0x1025C506, 0x1026C5E0},
    {"lexus", 0x1026C625, 0x1027F710},
    {"lincoln", 0x1027F757, 0x10297B90},
    {"lotus", 0x10297BB4, 0x102A82D0},
    {"mazda", 0x102A8305, 0x102C29C0},
    {"mmc", 0x102C2A06, 0x102D2CF0},
    {"smart smart city", 0x102C2A06, 0x102D2CF0},
    {"cabrio", 0x102C2A06, 0x102D2CF0},
    {"fortwo", 0x102C2A06, 0x102D2CF0},
    {"mercedes-benz", 0x102D2D2C, 0x102E4220},
    {"mercury", 0x102E4254, 0x102FC690},
    {"mini", 0x102FC6B0, 0x10318F30},
    {"mitsubishi", 0x10318F67, 0x10329F80},
    {"nissan", 0x10329FBF, 0x1033D550},
    {"oldsmobile", 0x1033D591, 0x103559C0},
    {"opel", 0x103559E3, 0x103686A0},
    {"perodua nippa", 0x103686D1, 0x10378830},
    {"peugeot", 0x1037887B, 0x1038A2D0},
    {"piaggio hi-jet", 0x1038A31C, 0x1039A420},
    {"plymouth", 0x1039A454, 0x1039D360},
    {"pontiac", 0x1039D3AC, 0x103B57D0},
    {"porsche", 0x103B5801, 0x103C6FC0},
    {"proton persona compact", 0x103C7011, 0x103D7150},
    {"renault", 0x103D718E, 0x103E9970},
    {"rover", 0x103E99AC, 0x103FAAB0},
    {"saab", 0x103FAAF4, 0x1040DDE0},
    {"saturn", 0x1040DE24, 0x10426250},
    {"seat alhambra", 0x1042627F, 0x1043EA87},
    {"skoda", 0x1043EAAF, 0x104597B0},
    {"ssangyong rexton", 0x104597E6, 0x10469F10},
    {"subaru", 0x10469F59, 0x1047C1B0},
    {"suzuki", 0x1047C1EE, 0x1048C770},
    {"toyota", 0x1048C7AE, 0x104A00F0},
    {"vauxhall", 0x104A0139, 0x104B2EC0},
    {"volkswagen", 0x104B2EF4, 0x104CDA80},
    {"volvo", 0x104CDA9F, 0x104DF400},
}};

// File positions of a make's section.
struct SectionBounds {
  std::int32_t MakeStart;
  std::int32_t MakeEnd;
};

// The make list's entry whose name equals `name` without regard to ASCII case, or nullptr.
const MakeSection* findMake(std::string_view name);

// The entry whose name equals `vehicle` without regard to ASCII case; "generic" when none does.
const MakeSection& makeSectionFor(std::string_view vehicle);

// The section of the Vehicle text, as file positions.
SectionBounds cartypeselect(std::string_view vehicle);

// Case-insensitive ASCII equality, as codes and make names are compared.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The distinct sections in file order: entries sharing a start address appear once,
// under the first entry's name.
std::vector<MakeSection> distinctSections();

}  // namespace vx414
