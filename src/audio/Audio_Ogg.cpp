#include "audio/Audio_Ogg.h"

#include <AL/al.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "audio/AudioHost.h"
#include "audio/AudioMemory.h"
#include "audio/Audio_Main.h"
#include "audio/Audio_Sync.h"
#include "core/Console.h"
#include "core/Thread.h"
#include "core/Timing.h"

namespace {

constexpr int32_t kPassMilliseconds = 16;
constexpr int32_t kLogBytes = sizeof(COggThread::log);
constexpr int32_t kLogLineBytes = 256;

COggAudio g_oggAudio;
bool g_manualPasses = false;

}  // namespace

// --- logs ---------------------------------------------------------------------------------

void OggLogTarget::Append(const char* format, ...) {
    char line[kLogLineBytes];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (text == nullptr) {
        DebugConsole.Output("%s", line);
        return;
    }
    std::lock_guard guard(*lock);
    const size_t used = std::strlen(text);
    const size_t room = kLogBytes - 1 - used;
    std::strncat(text, line, room);
    *pending = 1;
}

namespace {

OggLogTarget LogOf(COggThread* thread) {
    return thread ? OggLogTarget{thread->log, &thread->logPending, thread->lock} : OggLogTarget{};
}

// Appends to the thread's log for the main thread to print; without a thread, to the console.
void OggLog(COggThread* thread, const char* format, ...) __attribute__((format(printf, 2, 3)));
void OggLog(COggThread* thread, const char* format, ...) {
    char line[kLogLineBytes];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    LogOf(thread).Append("%s", line);
}

// A channel goes inactive so that its voice is released. A play command that arrived since
// the pass began keeps it: the channel belongs to that play now.
void MarkInactive(COggThread* thread, SOggChannel* channel) {
    std::lock_guard guard(*thread->lock);
    if (!(channel->command & kOggPlay)) channel->active = 0;
}

// --- Ogg data in memory ---------------------------------------------------------------------

size_t MemoryRead(void* destination, size_t size, size_t count, void* source) {
    auto* channel = static_cast<SOggChannel*>(source);
    const CAudioSound* sound = channel->currentSound;
    if (size == 0 || count > SIZE_MAX / size) return 0;
    const uint64_t length = sound->oggLength;
    const uint64_t left = channel->readPosition < length ? length - channel->readPosition : 0;
    const uint64_t n = std::min<uint64_t>(uint64_t(size) * count, left);
    std::memcpy(destination, sound->oggData + channel->readPosition, n);
    channel->readPosition += n;
    return n;
}

int MemorySeek(void* source, ogg_int64_t offset, int origin) {
    auto* channel = static_cast<SOggChannel*>(source);
    const uint64_t length = channel->currentSound->oggLength;
    int64_t position;
    switch (origin) {
        case SEEK_SET:
            position = offset;
            break;
        case SEEK_CUR:
            position = int64_t(channel->readPosition) + offset;
            break;
        case SEEK_END:
            position = int64_t(length) + offset;
            break;
        default:
            return -1;
    }
    // Compared unsigned: a position before the start counts as past the end.
    if (static_cast<uint64_t>(position) > length) {
        channel->readPosition = length;
        return -1;
    }
    channel->readPosition = static_cast<uint64_t>(position);
    return 0;
}

int MemoryClose(void*) {
    return 0;
}

long MemoryTell(void* source) {
    return static_cast<long>(static_cast<SOggChannel*>(source)->readPosition);
}

const ov_callbacks kMemoryCallbacks = {MemoryRead, MemorySeek, MemoryClose, MemoryTell};

// OpenAL takes one or two channels of 16-bit samples; other layouts are refused at open.
bool Ogg_CheckLayout(SOggChannel* channel, COggThread* log) {
    const vorbis_info* info = ov_info(&channel->decoder, -1);
    if (info && (info->channels == 1 || info->channels == 2) && info->rate > 0) return true;
    OggLog(log, "Ogg stream with %d channels is not supported\n", info ? info->channels : 0);
    ov_clear(&channel->decoder);
    return false;
}

ALenum FormatOf(const vorbis_info* info) {
    return info->channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
}

// --- a channel, on its decoding thread ----------------------------------------------------

// Fills the current half of the PCM area and uploads it to the buffer; the bytes read.
int32_t Ogg_ReadBuffer(COggThread* thread, SOggChannel* channel, ALuint buffer, bool loop) {
    const int32_t filled = Ogg_FillHalf(channel, loop, LogOf(thread));
    if (filled > 0)
        alBufferData(buffer, FormatOf(channel->info), channel->half[channel->currentHalf], filled,
                     channel->info->rate);
    channel->currentHalf ^= 1;
    return filled;
}

void OggChannel_Close(SOggChannel* channel) {
    if (channel->state == kOggClosed) return;
    alSourceStop(channel->source);
    ALint queued = 0;
    alGetSourcei(channel->source, AL_BUFFERS_QUEUED, &queued);
    for (ALint i = 0; i < queued; ++i) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(channel->source, 1, &buffer);
    }
    ov_clear(&channel->decoder);
    channel->state = kOggClosed;
    channel->buffersPlayed = 0;
}

// Decodes into buffers A and B from where the decoder stands, queues them and plays. False
// when nothing could be decoded (the channel is then closed and inactive).
bool OggChannel_PrimeAndPlay(COggThread* thread, SOggChannel* channel) {
    const bool loop = channel->state == kOggLooping;
    channel->currentHalf = 0;
    if (Ogg_ReadBuffer(thread, channel, channel->bufferA, loop) == 0) {
        OggChannel_Close(channel);
        MarkInactive(thread, channel);
        return false;
    }
    const bool second = Ogg_ReadBuffer(thread, channel, channel->bufferB, loop) > 0;
    const ALuint buffers[2] = {channel->bufferA, channel->bufferB};
    alSourceQueueBuffers(channel->source, second ? 2 : 1, buffers);
    alSourcePlay(channel->source);
    return true;
}

void OggChannel_Start(COggThread* thread, SOggChannel* channel, bool loop, int64_t offsetMs) {
    const CAudioSound* sound = channel->currentSound;
    const bool opened = sound && (sound->streamed ? Ogg_OpenFile(sound->streamPath, channel, thread)
                                                  : Ogg_OpenMemory(channel, thread));
    if (!opened || !Ogg_CheckLayout(channel, thread)) {
        MarkInactive(thread, channel);
        return;
    }
    channel->state = loop ? kOggLooping : kOggPlayingOnce;
    channel->info = ov_info(&channel->decoder, -1);
    channel->buffersPlayed = 0;
    alSourcei(channel->source, AL_BUFFER, 0);
    if (ALenum error = alGetError(); error != AL_NO_ERROR)
        OggLog(thread, "AL Error %x detaching buffer", error);
    alSourcei(channel->source, AL_LOOPING, AL_FALSE);
    if (ALenum error = alGetError(); error != AL_NO_ERROR)
        OggLog(thread, "AL Error %x set looping to false", error);
    if (offsetMs > 0) ov_time_seek(&channel->decoder, offsetMs);
    OggChannel_PrimeAndPlay(thread, channel);
}

void OggChannel_Seek(COggThread* thread, SOggChannel* channel, int64_t milliseconds) {
    if (channel->state == kOggClosed) return;
    ALint state = AL_INITIAL;
    alGetSourcei(channel->source, AL_SOURCE_STATE, &state);
    alSourceStop(channel->source);
    ALint queued = 0;
    alGetSourcei(channel->source, AL_BUFFERS_QUEUED, &queued);
    for (ALint i = 0; i < queued; ++i) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(channel->source, 1, &buffer);
    }
    channel->buffersPlayed = 0;
    ov_time_seek(&channel->decoder, milliseconds);
    if (!OggChannel_PrimeAndPlay(thread, channel)) return;
    alSourcei(channel->source, AL_SAMPLE_OFFSET, 0);
    if (state == AL_PAUSED) alSourcePause(channel->source);
}

void OggChannel_Refill(COggThread* thread, SOggChannel* channel, bool loop) {
    ALint processed = 0;
    alGetSourcei(channel->source, AL_BUFFERS_PROCESSED, &processed);
    for (ALint i = 0; i < processed; ++i) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(channel->source, 1, &buffer);
        ++channel->buffersPlayed;
        if (Ogg_ReadBuffer(thread, channel, buffer, loop) > 0)
            alSourceQueueBuffers(channel->source, 1, &buffer);
        else
            channel->state = kOggEnded;
    }
    ALint state = AL_INITIAL;
    alGetSourcei(channel->source, AL_SOURCE_STATE, &state);
    if (state != AL_STOPPED) return;
    if (channel->state == kOggEnded) {
        OggChannel_Close(channel);
        MarkInactive(thread, channel);
    } else {
        alSourcePlay(channel->source);  // it ran dry before the thread came round
    }
}

// --- threads --------------------------------------------------------------------------------

int OggThread_Main(Thread* record) {
    auto* thread = static_cast<COggThread*>(record->data);
    for (;;) {
        const int64_t start = Timing_Time();
        if (!OggThread_Pass(thread)) return 0;
        const int64_t spent = static_cast<int64_t>((Timing_Time() - start) * 0.001);
        if (kPassMilliseconds - spent > 0) Thread_Sleep(static_cast<int32_t>(kPassMilliseconds - spent));
    }
}

void FreeChannels(COggThread* thread) {
    for (int32_t s = 0; s < thread->channelCount; ++s) {
        SOggChannel* channel = &thread->channels[s];
        if (channel->buffersMade) {
            const ALuint buffers[2] = {channel->bufferA, channel->bufferB};
            alDeleteBuffers(2, buffers);
        }
        MEM_FREE(channel->pcm);
        channel->~SOggChannel();
    }
    MEM_FREE(thread->channels);
    thread->channels = nullptr;
    thread->channelCount = 0;
    MEM_FREE(thread->snapshot);
    thread->snapshot = nullptr;
    Audio_Delete(thread->lock);
    thread->lock = nullptr;
}

bool OggThread_Start(COggThread* thread, int32_t t, int32_t threadCount, int32_t k) {
    if (k <= 0 || t + threadCount * (k - 1) >= Audio_GetChannelCount()) return false;
    thread->channels = static_cast<SOggChannel*>(MEM_ALLOC(size_t(k) * sizeof(SOggChannel)));
    thread->channelCount = k;
    for (int32_t s = 0; s < k; ++s) {
        SOggChannel* channel = new (&thread->channels[s]) SOggChannel();
        channel->voiceIndex = t + threadCount * s;
        channel->source = Audio_GetSource(channel->voiceIndex);
        Audio_CheckError("SOggChannel before alGenBuffers");
        ALuint buffers[2] = {0, 0};
        alGenBuffers(2, buffers);
        Audio_CheckError("SOggChannel alGenBuffers");
        channel->bufferA = buffers[0];
        channel->bufferB = buffers[1];
        channel->buffersMade = 1;
        channel->pcm = static_cast<uint8_t*>(MEM_ALLOC(kOggPcmBytes));
        channel->half[0] = channel->pcm;
        channel->half[1] = channel->pcm + kOggHalfBytes;
        channel->lastMixGain = 1.0f;
        channel->pcmTotal = INT64_MAX;
    }
    thread->log[0] = 0;
    thread->logPending = 0;
    thread->quit = 0;
    thread->index = t;
    thread->snapshot = static_cast<uint8_t*>(MEM_ALLOC(size_t(k)));
    thread->lock = Audio_New<Mutex>("OggMutex");
    if (g_manualPasses) {
        thread->running = 1;
        return true;
    }
    thread->thread = Audio_New<Thread>();
    if (!thread->thread->Start(OggThread_Main, thread)) {
        DebugConsole.Output("Error %d creating ogg thread\n", static_cast<int>(thread->thread->lastError));
        Audio_Delete(thread->thread);
        thread->thread = nullptr;
        FreeChannels(thread);
        return false;
    }
    thread->running = 1;
    return true;
}

void OggThread_Stop(COggThread* thread) {
    if (!thread->running) return;
    {
        std::lock_guard guard(*thread->lock);
        thread->quit = 1;
    }
    if (thread->thread) {
        thread->thread->Join();
        Audio_Delete(thread->thread);
        thread->thread = nullptr;
    } else {
        OggThread_Pass(thread);  // stepped by hand: this pass takes the quit request
    }
    FreeChannels(thread);
    thread->running = 0;
}

void PrintLog(COggThread* thread) {
    char text[kLogBytes];
    {
        std::lock_guard guard(*thread->lock);
        if (!thread->logPending) return;
        std::memcpy(text, thread->log, kLogBytes);
        thread->log[0] = 0;
        thread->logPending = 0;
    }
    DebugConsole.Output("(%d): %s", thread->index, text);
}

bool ChannelActive(COggThread* thread, const SOggChannel* channel) {
    std::lock_guard guard(*thread->lock);
    return channel->active != 0;
}

}  // namespace

const ov_callbacks& Ogg_MemoryCallbacks() {
    return kMemoryCallbacks;
}

bool Ogg_OpenFile(const char* path, SOggChannel* channel, COggThread* log) {
    FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        LogOf(log).Append("Could not open Ogg file %s\n", path ? path : "");
        return false;
    }
    const int result = ov_open(file, &channel->decoder, nullptr, 0);
    if (result != 0) {
        std::fclose(file);
        LogOf(log).Append("ov_open error %d\n", result);
        return false;
    }
    return true;
}

bool Ogg_OpenMemory(SOggChannel* channel, COggThread* log) {
    channel->readPosition = 0;
    const int result = ov_open_callbacks(channel, &channel->decoder, nullptr, 0, kMemoryCallbacks);
    if (result != 0) {
        LogOf(log).Append("ov_open_callbacks error %d\n", result);
        return false;
    }
    return true;
}

int32_t Ogg_FillHalf(SOggChannel* channel, bool loop, OggLogTarget log) {
    uint8_t* half = channel->half[channel->currentHalf];
    int32_t filled = 0;
    bool rewound = false;
    while (filled < kOggHalfBytes) {
        int bitstream = 0;
        const long result = ov_read(&channel->decoder, reinterpret_cast<char*>(half) + filled,
                                    kOggHalfBytes - filled, &bitstream);
        if (result > 0) {
            filled += static_cast<int32_t>(result);
            rewound = false;
            continue;
        }
        if (result < 0) {
            log.Append("ov_read error: %d\n", static_cast<int>(result));
            return 0;
        }
        // A stream that gives nothing even from its start would rewind for ever.
        if (!loop || rewound) break;
        const int seek = ov_raw_seek(&channel->decoder, 0);
        if (seek != 0) {
            log.Append("ov_raw_seek error %d\n", seek);
            break;
        }
        rewound = true;
    }
    return filled;
}

bool OggThread_Pass(COggThread* thread) {
    bool quit;
    {
        std::lock_guard guard(*thread->lock);
        quit = thread->quit != 0;
        for (int32_t s = 0; s < thread->channelCount; ++s) {
            SOggChannel* channel = &thread->channels[s];
            thread->snapshot[s] = channel->command;
            channel->currentSound = channel->pendingSound;
            channel->positionMs = static_cast<int64_t>(double(channel->position) * 1000.0);
            channel->command = 0;
        }
    }
    if (quit) {
        for (int32_t s = 0; s < thread->channelCount; ++s) {
            SOggChannel* channel = &thread->channels[s];
            OggChannel_Close(channel);
            std::lock_guard guard(*thread->lock);
            channel->active = 0;
        }
        return false;
    }
    for (int32_t s = 0; s < thread->channelCount; ++s) {
        SOggChannel* channel = &thread->channels[s];
        const uint8_t command = thread->snapshot[s];
        if (command == 0 && channel->state == kOggClosed) continue;
        if ((command & kOggPlay) || command == kOggStop) {
            OggChannel_Close(channel);
            if (command == kOggStop) MarkInactive(thread, channel);
        }
        if (command & kOggPlay) {
            OggChannel_Start(thread, channel, (command & kOggLoop) != 0,
                             (command & kOggPosition) ? channel->positionMs : 0);
            // Paused before its thread took the play: it starts paused.
            if ((command & kOggPauseMark) && channel->state != kOggClosed) alSourcePause(channel->source);
        } else if (command & kOggPosition) {
            OggChannel_Seek(thread, channel, channel->positionMs);
        }
        if (channel->state != kOggClosed) OggChannel_Refill(thread, channel, channel->state == kOggLooping);
    }
    return true;
}

COggAudio& OggAudio() {
    return g_oggAudio;
}

void COggAudio::SetManualPasses(bool manual) {
    g_manualPasses = manual;
}

void COggAudio::Init(int32_t threads, int32_t channelCount) {
    Shutdown();
    m_threadCount = threads;
    m_totalChannels = threads * (channelCount / threads);
    m_threads = static_cast<COggThread*>(MEM_ALLOC(size_t(threads) * sizeof(COggThread)));
    for (int32_t t = 0; t < threads; ++t) m_threads[t].index = -1;
}

COggThread* COggAudio::GetThreadForChannel(int32_t c, int32_t* slot) {
    if (m_threadCount <= 0 || c < 0) return nullptr;
    const int32_t t = c % m_threadCount;
    COggThread* thread = &m_threads[t];
    if (!thread->running && !OggThread_Start(thread, t, m_threadCount, m_totalChannels / m_threadCount))
        return nullptr;
    *slot = c / m_threadCount;
    return *slot < thread->channelCount ? thread : nullptr;
}

int32_t COggAudio::PlaySound(int32_t c, CAudioSound* sound, bool loop, float startSeconds,
                             int32_t listenerMask) {
    if (sound->streamed && sound->streamPath == nullptr) {
        DebugConsole.Output("COggAudio::PlaySound- could not find audio file for sound %s\n",
                            sound->fileName ? sound->fileName : "");
        return -1;
    }
    int32_t slot = 0;
    COggThread* thread = GetThreadForChannel(c, &slot);
    // Without a thread the command could never be taken and the voice would never be released.
    if (thread == nullptr) return -1;
    std::lock_guard guard(*thread->lock);
    SOggChannel* channel = &thread->channels[slot];
    channel->command = loop ? (kOggPlay | kOggLoop) : kOggPlay;
    if (startSeconds > 0.0f) {
        channel->command |= kOggPosition;
        channel->position = startSeconds;
    } else {
        channel->position = 0.0f;
    }
    channel->pendingSound = sound;
    channel->listenerMask = listenerMask;
    channel->active = 1;
    channel->buffersPlayed = 0;
    return slot;
}

void COggAudio::StopChannel(int32_t c) {
    int32_t slot = 0;
    COggThread* thread = GetThreadForChannel(c, &slot);
    if (thread == nullptr) return;
    std::lock_guard guard(*thread->lock);
    thread->channels[slot].command = kOggStop;
}

void COggAudio::SetChannelPosition(int32_t c, float seconds) {
    int32_t slot = 0;
    COggThread* thread = GetThreadForChannel(c, &slot);
    if (thread == nullptr) return;
    std::lock_guard guard(*thread->lock);
    thread->channels[slot].command |= kOggPosition;
    thread->channels[slot].position = seconds;
}

void COggAudio::PauseChannel(int32_t c) {
    const ALuint source = Audio_GetSource(c);
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING) {
        alSourcePause(source);
        return;
    }
    if (state == AL_PAUSED || m_threadCount <= 0) return;
    COggThread* thread = &m_threads[c % m_threadCount];
    if (!thread->running || c / m_threadCount >= thread->channelCount) return;
    std::lock_guard guard(*thread->lock);
    SOggChannel* channel = &thread->channels[c / m_threadCount];
    if (channel->command & kOggPlay) channel->command |= kOggPauseMark;
}

void COggAudio::ResumeChannel(int32_t c) {
    const ALuint source = Audio_GetSource(c);
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state == AL_PAUSED) {
        alSourcePlay(source);
        return;
    }
    if (state == AL_PLAYING || m_threadCount <= 0) return;
    COggThread* thread = &m_threads[c % m_threadCount];
    if (!thread->running || c / m_threadCount >= thread->channelCount) return;
    std::lock_guard guard(*thread->lock);
    thread->channels[c / m_threadCount].command &= static_cast<uint8_t>(~kOggPauseMark);
}

SOggChannel* COggAudio::FindChannel(int32_t c) {
    if (m_threadCount <= 0 || c < 0) return nullptr;
    COggThread* thread = &m_threads[c % m_threadCount];
    const int32_t slot = c / m_threadCount;
    return thread->running && slot < thread->channelCount ? &thread->channels[slot] : nullptr;
}

void COggAudio::Update() {
    for (int32_t t = 0; t < m_threadCount; ++t) {
        COggThread* thread = &m_threads[t];
        if (!thread->running) continue;
        PrintLog(thread);
        for (int32_t s = 0; s < thread->channelCount; ++s) {
            const SOggChannel* channel = &thread->channels[s];
            if (channel->voiceIndex >= Audio_VoiceCount()) break;
            CAudioVoice* voice = Audio_GetVoice(channel->voiceIndex);
            if (voice->active && voice->oggDriven && !ChannelActive(thread, channel))
                Audio_ReleaseVoice(voice);
        }
    }
    AudioSoundTable& streams = Audio_Streams();
    for (int32_t i = streams.count - 1; i >= 0; --i) {
        CAudioSound* stream = streams.slots[i];
        if (stream == nullptr || !stream->destroyed) continue;
        int32_t users = 0;
        for (int32_t t = 0; t < m_threadCount; ++t) {
            COggThread* thread = &m_threads[t];
            if (!thread->running) continue;
            std::lock_guard guard(*thread->lock);
            for (int32_t s = 0; s < thread->channelCount; ++s)
                if (thread->channels[s].currentSound == stream && thread->channels[s].active) ++users;
        }
        if (users == 0) {
            Audio_Delete(stream);
            streams.slots[i] = nullptr;
        }
    }
    AudioSync_Update();
}

void COggAudio::Shutdown() {
    for (int32_t t = 0; t < m_threadCount; ++t) OggThread_Stop(&m_threads[t]);
    AudioSync_Shutdown();
    MEM_FREE(m_threads);
    m_threads = nullptr;
    m_threadCount = 0;
    m_totalChannels = 0;
}

void COggAudio::RunPasses() {
    for (int32_t t = 0; t < m_threadCount; ++t)
        if (m_threads[t].running) OggThread_Pass(&m_threads[t]);
    AudioSync_RunPasses();
}

bool COggAudio::ManualPasses() {
    return g_manualPasses;
}

// --- whole streams ----------------------------------------------------------------------------

void COggAudio::FindStreamFile(CAudioSound* sound) {
    if (sound->streamed && sound->streamPath == nullptr && sound->fileName) {
        char path[4096];
        if (AudioHost_BundlePath(sound->fileName, path, sizeof path))
            sound->streamPath = Audio_CopyText(path);
    }
    Ogg_ReadInfo(sound);
}

void Ogg_ReadInfo(CAudioSound* sound) {
    SOggChannel channel{};
    channel.currentSound = sound;
    if (sound->streamed) {
        if (sound->streamPath == nullptr) {
            char path[4096] = "";
            if (!AudioHost_BundlePath(sound->fileName, path, sizeof path)) {
                DebugConsole.Output("can't find file for %s at %s\n", sound->fileName ? sound->fileName : "",
                                    path);
                return;
            }
            sound->streamPath = Audio_CopyText(path);
        }
        if (!Ogg_OpenFile(sound->streamPath, &channel, nullptr)) return;
    } else {
        if (sound->oggData == nullptr || !Ogg_OpenMemory(&channel, nullptr)) return;
    }
    const vorbis_info* info = ov_info(&channel.decoder, -1);
    const ogg_int64_t total = ov_pcm_total(&channel.decoder, -1);
    sound->length = total >= 0 && info->rate > 0 ? static_cast<float>(double(total) / info->rate) : 0.0f;
    sound->sampleRate = info->rate;
    sound->channels = info->channels;
    sound->pcmTotal = total;
    ov_clear(&channel.decoder);
}

// What decoding a sound held in memory may give: Vorbis packs 16-bit audio at most some tens of
// times over, so more than this for its size is a damaged or hostile stream.
constexpr int64_t kDecodeAllowance = int64_t{16} << 20;
constexpr int64_t kDecodePerByte = 64;

uint32_t DecompressOgg(CAudioSound* sound) {
    if (sound->oggData == nullptr || sound->oggLength == 0) return 0;
    const char* name = sound->fileName ? sound->fileName : "";
    DebugConsole.Output("Decoding ogg %s ...\n", name);
    SOggChannel channel{};
    channel.currentSound = sound;
    const int opened = ov_open_callbacks(&channel, &channel.decoder, nullptr, 0, kMemoryCallbacks);
    if (opened != 0) {
        DebugConsole.Output("Error %d opening ogg stream for %s\n", opened, name);
        return 0;
    }
    if (!Ogg_CheckLayout(&channel, nullptr)) return 0;
    const vorbis_info* info = ov_info(&channel.decoder, -1);
    const int32_t frameBytes = info->channels == 1 ? 2 : 4;
    const ogg_int64_t total = ov_pcm_total(&channel.decoder, -1);
    if (total <= 0) {
        DebugConsole.Output("Error %d opening ogg stream for %s\n", static_cast<int>(total), name);
        ov_clear(&channel.decoder);
        return 0;
    }
    // OpenAL takes a buffer's size as an int; longer sounds are refused before allocating, and
    // so is a length the compressed data could never hold (the stream's last page states it).
    const int64_t expected = int64_t(total) * frameBytes;
    if (expected > kDecodeAllowance + kDecodePerByte * int64_t(sound->oggLength)) {
        ErrorConsole.Output("AUDO: sound %s claims %lld bytes decoded from %u compressed; refused\n", name,
                            static_cast<long long>(expected), static_cast<unsigned>(sound->oggLength));
        ov_clear(&channel.decoder);
        return 0;
    }
    uint8_t* pcm = expected <= INT_MAX ? static_cast<uint8_t*>(std::malloc(size_t(expected))) : nullptr;
    if (pcm == nullptr) {
        DebugConsole.Output("ERROR: failed to allocate buffer of %lld bytes for sound %s\n",
                            static_cast<long long>(expected), name);
        ov_clear(&channel.decoder);
        return 0;
    }
    int64_t decoded = 0;
    while (decoded < expected) {
        int bitstream = 0;
        const long result = ov_read(&channel.decoder, reinterpret_cast<char*>(pcm) + decoded,
                                    static_cast<int>(expected - decoded), &bitstream);
        if (result == 0) break;
        if (result < 0) {
            DebugConsole.Output("ov_read error: %d\n", static_cast<int>(result));
            break;
        }
        decoded += result;
    }
    if (decoded != expected)
        DebugConsole.Output("Ogg unexpected decompressed size: %d (expected: %d)\n",
                            static_cast<int>(decoded), static_cast<int>(expected));
    alGetError();
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    alBufferData(buffer, FormatOf(info), pcm, static_cast<ALsizei>(decoded), info->rate);
    if (Audio_CheckError("DecompressOgg: alBufferData")) {
        alDeleteBuffers(1, &buffer);
        buffer = 0;
    }
    std::free(pcm);
    ov_clear(&channel.decoder);
    return buffer;
}
