// Stand-in for AvCoderSettings.cpp while the project's INI module is not
// built: every coder gets the defaults and nothing is saved.
#include "plugins/av/AvCoderSettings.h"

namespace moxel::av {

AvCoderSettings AvCoderSettings::load(const char*) { return {}; }

bool AvCoderSettings::save(const std::string&) const { return false; }

} // namespace moxel::av
