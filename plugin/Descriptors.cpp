#include "plugin/Descriptors.h"

#include "plugin/TexFacet.h"

Plugin* UserPluginDesc::newPlugin(ZUtils::ZentoPluginHost*) {
    return new TexFacet(this);
}

void UserPluginDesc::deletePlugin(Plugin* plugin) {
    delete plugin;
}

int LibDesc::registerPlugins(ZUtils::ZentoPluginHost* host) {
    if (host) host->addPluginDesc(pluginDesc_);
    return 1;
}
