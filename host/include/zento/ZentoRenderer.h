// ZUtils::ZentoRenderer and what a plugin reads from it.
//
// RenderSetup: fixed for a render: the progress callback (may be null), the
// number of render threads, and host interfaces found by id (getInterface,
// null when absent; the renderer registers them with setInterface).
// FrameState: the time and number of the current frame.
// ZentoRenderer: owns one of each and counts the base frameBegin calls of the
// plugin interfaces (ZentoPluginInterface::frameBegin) it has seen.
//
// Header-only, no allocation: the interface table has a fixed capacity.
#pragma once

#include "zento/InterfaceIds.h"

namespace ZUtils {

class ProgressCallback;

class RenderSetup {
public:
    static constexpr int MAX_INTERFACES = 16;

    ProgressCallback* progress = nullptr;
    int threadCount = 1;

    void* getInterface(InterfaceID id) const {
        for (int i = 0; i < numEntries_; ++i) {
            if (entries_[i].id == id) return entries_[i].iface;
        }
        return nullptr;
    }

    // Registers (or replaces) the interface of an id; null removes it. False
    // when the table is full.
    bool setInterface(InterfaceID id, void* iface) {
        for (int i = 0; i < numEntries_; ++i) {
            if (entries_[i].id == id) {
                if (iface) {
                    entries_[i].iface = iface;
                } else {
                    entries_[i] = entries_[--numEntries_];
                }
                return true;
            }
        }
        if (!iface) return true;
        if (numEntries_ == MAX_INTERFACES) return false;
        entries_[numEntries_++] = Entry{id, iface};
        return true;
    }

private:
    struct Entry {
        InterfaceID id = 0;
        void* iface = nullptr;
    };
    Entry entries_[MAX_INTERFACES];
    int numEntries_ = 0;
};

struct FrameState {
    double time = 0.0;
    int frameNumber = 0;
};

class ZentoRenderer {
public:
    RenderSetup& getRenderSetup() { return setup_; }
    const RenderSetup& getRenderSetup() const { return setup_; }
    FrameState& getFrameState() { return frame_; }
    const FrameState& getFrameState() const { return frame_; }

    void notePluginFrameBegin() { ++pluginFrameBegins_; }
    int getNumPluginFrameBegins() const { return pluginFrameBegins_; }

private:
    RenderSetup setup_;
    FrameState frame_;
    int pluginFrameBegins_ = 0;
};

}  // namespace ZUtils
