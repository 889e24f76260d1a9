#include "formpack/AudioChunks.h"

namespace formpack {

namespace {

// count, one offset per slot (0 for an empty one), then the entries.
template <typename T, typename Write>
Section WriteSlots(const std::vector<std::optional<T>>& items, Write entry) {
    Section s;
    s.U32(static_cast<uint32_t>(items.size()));
    std::vector<size_t> slots(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i])
            slots[i] = s.LocalOffsetLater();
        else
            s.U32(0);
    }
    for (size_t i = 0; i < items.size(); ++i) {
        if (!items[i]) continue;
        s.Align(4);
        s.SetLocalOffsetHere(slots[i]);
        entry(s, *items[i]);
    }
    return s;
}

}  // namespace

Section WriteSounds(const std::vector<std::optional<Sound>>& sounds) {
    return WriteSlots(sounds, [](Section& s, const Sound& sound) {
        s.String(sound.name);
        s.I32(sound.flags);
        s.OptionalString(sound.type);
        s.OptionalString(sound.fileName);
        s.U32(sound.effects);
        s.F32(sound.volume);
        s.F32(sound.pitch);
        s.I32(sound.group);
        s.I32(sound.audio);
    });
}

Section WriteAudioGroups(const std::vector<std::string>& groups) {
    std::vector<std::optional<std::string>> slots(groups.begin(), groups.end());
    return WriteSlots(slots, [](Section& s, const std::string& name) { s.String(name); });
}

Section WriteAudio(const std::vector<std::optional<std::vector<uint8_t>>>& audio) {
    return WriteSlots(audio, [](Section& s, const std::vector<uint8_t>& bytes) {
        s.U32(static_cast<uint32_t>(bytes.size()));
        s.Raw(bytes.data(), bytes.size());
    });
}

}  // namespace formpack
