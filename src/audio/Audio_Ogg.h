// Ogg Vorbis decoding for streamed and compressed sounds. Four decoding threads each serve a
// fixed set of channels (voice c: thread c mod 4, slot c div 4); a channel feeds its voice's
// source through two OpenAL buffers that it refills as they are played. The main thread only
// hands commands over, under the thread's "OggMutex". Loops are made by the decoder, never by
// OpenAL, so a looping sound has no gap at its seam.
#pragma once

#include <tremor/ivorbisfile.h>

#include <atomic>
#include <cstdint>

struct CAudioSound;
struct CAudioVoice;
class Mutex;
struct Thread;

// Command bits of a channel.
constexpr uint8_t kOggPlay = 1;
constexpr uint8_t kOggLoop = 2;
constexpr uint8_t kOggPauseMark = 4;
constexpr uint8_t kOggStop = 8;
constexpr uint8_t kOggPosition = 16;

// Channel states.
constexpr int32_t kOggClosed = 0;
constexpr int32_t kOggPlayingOnce = 1;
constexpr int32_t kOggLooping = 2;
constexpr int32_t kOggEnded = 3;

constexpr int32_t kOggPcmBytes = 32768;
constexpr int32_t kOggHalfBytes = kOggPcmBytes / 2;

struct SOggChannel {
    OggVorbis_File decoder;
    vorbis_info* info;
    uint8_t* pcm;
    uint8_t* half[2];
    int32_t currentHalf;
    uint32_t bufferA, bufferB;
    uint32_t source;
    int32_t voiceIndex;
    CAudioSound* currentSound;
    uint64_t readPosition;
    int32_t state;
    uint8_t buffersMade;
    uint8_t active;
    uint8_t command;
    CAudioSound* pendingSound;
    int32_t listenerMask;
    std::atomic<int32_t> buffersPlayed;  // written by the thread, read by position queries
    int64_t positionMs;
    float position;
    float lastMixGain;
    int64_t pcmTotal;
};

struct COggThread {
    char log[2048];
    uint8_t logPending;
    uint8_t quit;
    uint8_t running;
    SOggChannel* channels;
    int32_t channelCount;
    int32_t index;
    uint8_t* snapshot;
    Mutex* lock;     // "OggMutex"
    Thread* thread;  // null while passes are stepped by hand
};

class COggAudio {
public:
    // Makes `threads` thread records (not started) for n channels.
    void Init(int32_t threads, int32_t channelCount);
    // The thread and slot that serve channel c, starting the thread on first use; null when it
    // cannot be started.
    COggThread* GetThreadForChannel(int32_t c, int32_t* slot);
    // Hands a play command to channel c: the slot, or -1 when the sound cannot be played.
    int32_t PlaySound(int32_t c, CAudioSound* sound, bool loop, float startSeconds, int32_t listenerMask);
    void StopChannel(int32_t c);
    void SetChannelPosition(int32_t c, float seconds);
    void PauseChannel(int32_t c);
    void ResumeChannel(int32_t c);
    // The channel of voice c when its thread runs, else null.
    SOggChannel* FindChannel(int32_t c);
    // Main thread, once per frame: prints the threads' logs, releases voices whose channel has
    // finished and frees destroyed streams nothing plays any more.
    void Update();
    // Stops and frees every thread.
    void Shutdown();
    // Resolves a streamed sound's file, then reads its length, rate, channels and frames.
    static void FindStreamFile(CAudioSound* sound);

    // Tests step the decoding by hand: threads are then set up without a system thread, and
    // RunPasses runs one pass of each.
    static void SetManualPasses(bool manual);
    static bool ManualPasses();
    void RunPasses();

    int32_t ThreadCount() const { return m_threadCount; }
    int32_t TotalChannels() const { return m_totalChannels; }

private:
    COggThread* m_threads = nullptr;
    int32_t m_threadCount = 0;
    int32_t m_totalChannels = 0;
};

COggAudio& OggAudio();

// Where a decoding thread's messages go: a log of 2048 bytes that the main thread prints,
// appended under its lock; with no text, straight to the console.
struct OggLogTarget {
    char* text = nullptr;
    uint8_t* pending = nullptr;
    Mutex* lock = nullptr;

    void Append(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// Opens a channel's decoder on a file, or on its current sound's Ogg data in memory.
bool Ogg_OpenFile(const char* path, SOggChannel* channel, COggThread* log);
bool Ogg_OpenMemory(SOggChannel* channel, COggThread* log);
const ov_callbacks& Ogg_MemoryCallbacks();
// Decodes into the channel's current PCM half until it is full or the stream ends (rewinding
// to the start when looping); the bytes decoded, 0 after a decoding error. The half is not
// flipped.
int32_t Ogg_FillHalf(SOggChannel* channel, bool loop, OggLogTarget log);

// One pass of a decoding thread: takes its commands and refills its channels. False once the
// thread has been asked to quit (its channels are then closed).
bool OggThread_Pass(COggThread* thread);

// Reads a sound's length, rate, channels and sample frames from its Ogg data or file.
void Ogg_ReadInfo(CAudioSound* sound);
// Decodes the sound's whole Ogg data into a new OpenAL buffer; 0 when it cannot.
uint32_t DecompressOgg(CAudioSound* sound);
