// Printing what a loaded plugin library registered with a host.
//
// printPluginInfo(out, host, lib): the library's name and description, then
// for each plugin type it added: its name and id, the plugin interfaces it
// supports (id and the name its instances report), and its parameter table
// in registration order, one line per parameter:
//   <n>. <name>  type=<type>  default=<value>  description=<text>  hints=<text>
// Texts are quoted; a missing description or hint prints as (none), so an
// empty text ("") stays distinguishable. Floats print with a decimal point
// ("1.0"), colours as (r, g, b, a). Parameters registered by type code print
// it, lists as "list of <type> (type code <n>)", with default "-". Returns the
// number of plugin types.
#pragma once

#include <cstdio>

class PluginLibDesc;

namespace ZUtils {
class ZentoPluginHost;
}

int printPluginInfo(std::FILE* out, ZUtils::ZentoPluginHost& host, PluginLibDesc& lib);
