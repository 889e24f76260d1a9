// Reliable UDP: a thin layer over UDP sockets whose reliable flag is set. network_send_udp
// payloads go out as numbered packets that are resent every 3 s until the peer acknowledges
// them; received packets are checked, de-duplicated and acknowledged (about once a second per
// peer) before they become data events. No ordering is kept. Main thread only.
//
// Packet, little-endian 32-bit words: CRC-32 of every byte from offset 4 on; type (low byte:
// 0 plain, 1 reliable, 2 acknowledgement); for type 0 the payload from offset 8; for type 1
// the packet id at 8 and the payload from 12; for type 2 its own id at 8 and the acknowledged
// ids from 12.
#pragma once

#include <cstdint>

constexpr int32_t kRelyRingSize = 255;
// Peers remembered at once; a new one beyond this replaces the one heard from least recently.
constexpr int32_t kRelyMaxPeers = 1024;

// Sends the bytes as a reliable packet through the socket of the slot; the payload bytes sent,
// -4 when no more than the header went out, or the send's negative result.
int32_t Rely_Send(int32_t socketSlot, const char* host, int32_t port, const uint8_t* data, int32_t length);
// Checks a received datagram: true with the payload's offset when it is to be delivered.
bool Rely_Receive(int32_t socketSlot, const uint8_t* datagram, int32_t length, const char* address,
                  int32_t port, int32_t* payloadOffset);
// Once per frame, after every socket and server has been polled: acknowledgements due, resends due.
void Rely_Tick();
// Forgets every peer and resend entry, freeing their buffers (the game's end, tests).
void Rely_Reset();

// Diagnostics and tests.
int32_t Rely_ResendCount();
int32_t Rely_PeerCount();
