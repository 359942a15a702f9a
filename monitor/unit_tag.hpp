// The unit file's "Tag:" line. Multi-core clients write the generic name
// "Gromacs" for every unit; only the tag (e.g. "P2683R6C12G21": project
// 2683, run 6, clone 12, generation 21) tells their units apart and names
// the project.
#pragma once

#include <cstddef>

// Room for a tag; a longer one is cut, like the other fields of the file.
inline constexpr std::size_t UnitTagSize = 32;

// Stores the first word of text as the tag; "-" or no word means no tag,
// which is stored as the empty text.
void storeUnitTag(const char* text, char* tag, std::size_t capacity);

// The project of a tag of the form P<digits>R<digits>C<digits>G<digits>,
// or 0 for any other tag.
int projectNumberOfTag(const char* tag);
