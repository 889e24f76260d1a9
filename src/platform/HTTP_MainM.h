// One HTTP transfer on the calling thread (libcurl underneath). The request thread of the
// HTTP client runs one transfer per request and hears about it through a sink: when it starts
// sending, each line of the final response's header block, the end of that block with the
// status code, and the body as it arrives.
#pragma once

#include <cstddef>
#include <cstdint>

// Sets up the transfer library for the whole process; call on the main thread before the first
// transfer. False, with the library's message in error, when it cannot start; the next call
// tries again.
bool HttpTransfer_Open(char* error, size_t errorSize);

struct HttpTransferRequest {
    const char* url = nullptr;
    const char* method = "GET";     // "GET", "POST" or any other verb
    const char* headers = nullptr;  // extra lines "Key: value\r\n"...; "Content-Length" lines are
                                    // dropped, the length is always that of body
    const uint8_t* body = nullptr;  // null: no body is sent
    int64_t bodyLength = 0;
    const char* userAgent = nullptr;
};

class HttpTransferSink {
public:
    virtual ~HttpTransferSink() = default;
    // Each line of the final response's header block, the status line first, without its
    // line end. Header blocks of interim responses (1xx) and of followed redirects are not
    // passed on.
    virtual void OnHeaderLine(const char* line, size_t length) = 0;
    // The header block is complete; the body follows.
    virtual void OnHeadersDone(int32_t status) = 0;
    // Part of the body. False stops the transfer (a failure at the reading stage).
    virtual bool OnBody(const uint8_t* bytes, size_t length) = 0;
    // Polled while the transfer waits or moves data; true stops it.
    virtual bool Cancelled() = 0;
};

// Where a transfer failed, named after the step of the request that failed.
enum HttpTransferResult {
    HTTP_TRANSFER_OK = 0,
    HTTP_TRANSFER_CONNECT_FAILED,  // the host could not be resolved or reached
    HTTP_TRANSFER_SEND_FAILED,     // the request could not be sent, or no response came back
    HTTP_TRANSFER_READ_FAILED,     // the response broke off after its headers (or the sink stopped it)
};

// Runs the transfer to its end. On failure message holds the library's text for it.
HttpTransferResult HttpTransfer_Perform(const HttpTransferRequest& request, HttpTransferSink& sink,
                                        char* message, size_t messageSize);
