// Placeholder until the generated string table replaces this file.
#include "app/MlStringModule.h"

namespace qv {
const std::string* StringTableLookup(int) { return nullptr; }
}  // namespace qv
