// Writes a game data file that plays a sound: one second of a 440 Hz tone (a WAV asset for the
// audio engine) started by an instance's Create event with audio_play_sound; its alarm 0 ends
// the game 45 steps later. The logic is bytecode, assembled with tools/asm.
// Usage: e2e_sound_game OUTPUT
#include <cmath>
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"

namespace {

constexpr uint32_t kNewAudioFlag = 4;
constexpr int32_t kCreateEvent = 0, kAlarmEvent = 2;
constexpr int32_t kRate = 44100;

// audio_play_sound(0, 0, false); alarm_set(0, 45). Arguments go on the stack last first.
const char* const kCreate = R"(
    push.i 0
    conv.i.v
    push.i 0
    conv.i.v
    push.i 0
    conv.i.v
    call.i audio_play_sound 3
    pop.v.v global.sink
    push.i 45
    conv.i.v
    push.i 0
    conv.i.v
    call.i alarm_set 2
    pop.v.v global.sink
)";

const char* const kAlarm = R"(
    call.i game_end 0
    pop.v.v global.sink
)";

std::vector<uint8_t> ToneWav() {
    std::vector<uint8_t> bytes;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
    };
    auto text = [&](const char* t) { bytes.insert(bytes.end(), t, t + 4); };
    const uint32_t dataBytes = kRate * 2;
    text("RIFF");
    u32(36 + dataBytes);
    text("WAVE");
    text("fmt ");
    u32(16);
    u32(1 | (1u << 16));  // PCM, mono
    u32(kRate);
    u32(kRate * 2);
    u32(2 | (16u << 16));  // block align 2, 16 bits
    text("data");
    u32(dataBytes);
    for (int32_t i = 0; i < kRate; ++i) {
        const auto sample =
            static_cast<int16_t>(std::lround(16000.0 * std::sin(2.0 * M_PI * 440.0 * i / kRate)));
        bytes.push_back(uint8_t(sample & 0xFF));
        bytes.push_back(uint8_t((sample >> 8) & 0xFF));
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_sound_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "sound_test";
    file.header.roomOrder = {0};
    file.options.emplace().flags = kNewAudioFlag;
    formpack::Sound sound;
    sound.name = "snd_tone";
    sound.fileName = "snd_tone.wav";
    file.sounds = std::vector<std::optional<formpack::Sound>>{sound};
    file.audioGroups = std::vector<std::string>{"audiogroup_default"};
    file.audio = std::vector<std::optional<std::vector<uint8_t>>>{ToneWav()};
    if (!e2e::AddCode(file, "gml_Object_obj_player_Create_0", kCreate) ||
        !e2e::AddCode(file, "gml_Object_obj_player_Alarm_0", kAlarm))
        return 1;
    formpack::Object player;
    player.name = "obj_player";
    player.events[kCreateEvent].push_back({0, 0});
    player.events[kAlarmEvent].push_back({0, 1});
    file.objects = std::vector<std::optional<formpack::Object>>{player};
    formpack::Room room;
    room.name = "room0";
    room.instances.push_back(formpack::RoomInstance{});
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    return e2e::WriteGame(file, argv[1]);
}
