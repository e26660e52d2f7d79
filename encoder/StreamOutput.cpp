#include "encoder/StreamOutput.h"

#include "net/BroxMessage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace moxel {

namespace {

const char kHeaderTooLarge[] = "openOutput: stream header does not fit the send buffer";
const char kHeaderLineTooLong[] =
    "openOutput: stream header line too long (at most 511 characters)";

const char kBufferInfo[] = "512:256";
const char kBlockInfo[] = "8192:8192";

// finish() looks at the connection at least this often while it waits.
constexpr uint64_t kFlushStepMs = 20;

bool isUnderWay(NetState state)
{
    return state == NetState::Resolving || state == NetState::Connecting ||
           state == NetState::Connected;
}

std::string countOf(uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The decimal number at the start of text, 0 if there is none.
int leadingNumber(const char* text)
{
    long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > 0x7FFFFFFF)
            return 0x7FFFFFFF;
    }
    return int(value);
}

// A server's payload as printable text, up to its first NUL.
std::string printable(const std::vector<uint8_t>& bytes, size_t length)
{
    std::string text;
    for (size_t i = 0; i < length && bytes[i] != 0; ++i)
        text += std::isprint(bytes[i]) ? char(bytes[i]) : '?';
    return text;
}

} // namespace

bool isStreamDestination(const char* destination)
{
    return destination &&
           (std::strncmp(destination, "qz:", 3) == 0 || std::strncmp(destination, "brox:", 5) == 0);
}

StreamOutput::StreamOutput(Clock& clock, std::unique_ptr<AsyncResolver> resolver)
    : m_clock(clock), m_resolver(std::move(resolver))
{
}

StreamOutput::~StreamOutput() = default;

void StreamOutput::log(DiagnosticLevel level, const std::string& line) const
{
    emitDiagnostic(m_protocol == StreamProtocol::Qz ? kQzDiagnostics : kBroxDiagnostics, level,
                   line);
}

const char* StreamOutput::open(const char* destination, std::string& copyFile)
{
    copyFile.clear();
    if (!isStreamDestination(destination))
        return "openOutput: error opening output file";
    bool qz = std::strncmp(destination, "qz:", 3) == 0;
    m_protocol = qz ? StreamProtocol::Qz : StreamProtocol::Brox;
    m_connection =
        std::make_unique<NetConnection>(kStreamRingSize, kStreamRingSize, std::move(m_resolver));

    const char* host = destination + (qz ? 3 : 5);
    const char* portText = std::strchr(host, ':');
    if (!portText)
        return "openOutput: stream port not specified";
    m_serverHost.assign(host, portText);
    ++portText;
    m_serverPort = leadingNumber(portText);
    m_stats.server = m_serverHost + ":" + std::to_string(m_serverPort);
    m_connection->connect(m_serverHost.c_str(), m_serverPort);

    const char* headerName = std::strchr(portText, ':');
    if (!headerName)
        return "openOutput: stream header file not specified";
    std::string headerFile = headerName + 1;
    if (size_t plus = headerFile.find('+'); plus != std::string::npos) {
        copyFile = headerFile.substr(plus + 1);
        headerFile.resize(plus);
    }
    if (const char* failure = readHeaderFile(headerFile)) {
        copyFile.clear();
        return failure;
    }
    m_lastConnectMs = m_clock.nowMs();
    return nullptr;
}

const char* StreamOutput::readHeaderFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file)
        return "openOutput: stream header file not found";

    const char* failure = nullptr;
    std::string sentFirst; // qz: every line, including the ones not kept
    char* buffer = nullptr;
    size_t capacity = 0;
    try {
        for (;;) {
            ssize_t n = ::getline(&buffer, &capacity, file);
            if (n <= 0)
                break;
            std::string line(buffer, size_t(n));
            if (!line.empty() && line.back() == '\n')
                line.pop_back();
            // A file written with CR LF line ends reads the same.
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.empty())
                break;
            // Splitting a longer line would send its tail as a header line of its own.
            if (line.size() > kStreamHeaderLineMax) {
                failure = kHeaderLineTooLong;
                break;
            }
            if (m_protocol == StreamProtocol::Qz) {
                sentFirst += line + "\r\n";
                if (line.rfind("icy-reset:", 0) != 0)
                    m_qzHeader += line + "\r\n";
            } else {
                m_broxLines.push_back(line);
            }
        }
    } catch (const std::bad_alloc&) {
        failure = "openOutput: stream header error calling realloc()";
    }
    std::free(buffer);
    std::fclose(file);
    if (failure)
        return failure;

    if (m_protocol == StreamProtocol::Qz) {
        sentFirst += "\r\n";
        if (m_connection->send(sentFirst.data(), int(sentFirst.size())) != 0)
            return kHeaderTooLarge;
        noteHanded(sentFirst.size(), 0);
    } else {
        queueStoredHeader();
    }
    return nullptr;
}

bool StreamOutput::queueBroxMessage(uint16_t field, const void* payload, size_t length)
{
    // Queued piece by piece, and only whole: a message cut short would
    // garble everything after it.
    if (length > kBroxMaxPayload || size_t(m_connection->sendFree()) < length + kBroxOverhead)
        return false;
    m_message.clear();
    appendBroxMessage(m_message, field, nullptr, 0); // header with length 0, then the trailer
    m_message[4] = uint8_t(length >> 8);
    m_message[5] = uint8_t(length);
    m_connection->send(m_message.data(), int(kBroxHeaderSize));
    m_connection->send(payload, int(length));
    m_connection->send(m_message.data() + kBroxHeaderSize, 1);
    noteHanded(length + kBroxOverhead, field == kBroxData ? length : 0);
    return true;
}

void StreamOutput::queueBroxHeaderLine(size_t index)
{
    const std::string& line = m_broxLines[index];
    queueBroxMessage(index == 0 ? kBroxHeaderLine1 : kBroxHeaderLine2, line.c_str(),
                     line.size() + 1);
    if (index == 1) {
        queueBroxMessage(kBroxBufferInfo, kBufferInfo, sizeof kBufferInfo);
        queueBroxMessage(kBroxBlockInfo, kBlockInfo, sizeof kBlockInfo);
    }
}

void StreamOutput::queueStoredHeader()
{
    if (m_protocol == StreamProtocol::Qz) {
        // Sent by length: a line may hold a NUL, which must not end the header early.
        std::string header = m_qzHeader + "\r\n";
        if (m_connection->send(header.data(), int(header.size())) == 0)
            noteHanded(header.size(), 0);
        return;
    }
    // Only the first two lines go to the server; further lines are kept only.
    for (size_t i = 0; i < m_broxLines.size() && i < 2; ++i)
        queueBroxHeaderLine(i);
    queueBroxMessage(kBroxHeaderEnd, nullptr, 0);
}

void StreamOutput::appendToQueue(const uint8_t* bytes, size_t length)
{
    if (length == 0)
        return;
    if (m_sendOffset > 0 && m_sendOffset >= m_sendQueue.size() / 2) {
        m_sendQueue.erase(m_sendQueue.begin(), m_sendQueue.begin() + std::ptrdiff_t(m_sendOffset));
        m_sendOffset = 0;
    }
    size_t newLength = m_sendQueue.size() + length;
    if (newLength > m_sendQueue.capacity())
        m_sendQueue.reserve(newLength * 2);
    m_sendQueue.insert(m_sendQueue.end(), bytes, bytes + length);
}

void StreamOutput::sendFrame(const uint8_t* bytes, size_t length)
{
    KmfByteRange range{bytes, length};
    sendFrame(&range, 1);
}

void StreamOutput::sendFrame(const KmfByteRange* ranges, size_t count)
{
    if (!m_connection || m_finished)
        return;
    if (unsentBytes() >= kStreamBacklogLimit) {
        ++m_stats.framesDroppedBacklog; // the stream loses it; the copy file still has it
        m_sendOffset += pump(m_sendQueue.data() + m_sendOffset, unsentBytes());
    } else {
        ++m_framesQueued;
        size_t length = 0;
        for (size_t i = 0; i < count; ++i)
            length += ranges[i].length;
        m_pendingFrames.push_back({m_dataQueued, m_dataQueued + length, false});
        m_dataQueued += length;
        if (unsentBytes() == 0 && m_protocol == StreamProtocol::Qz) {
            // Nothing waits: the frame goes to the connection straight away
            // and only what it cannot take yet is queued (the same bytes in
            // the same order as queueing the frame first, without copying it
            // there).
            m_sendQueue.clear();
            m_sendOffset = 0;
            bool queueRest = false;
            for (size_t i = 0; i < count; ++i) {
                size_t handed = queueRest ? 0 : pump(ranges[i].data, ranges[i].length);
                appendToQueue(ranges[i].data + handed, ranges[i].length - handed);
                queueRest = queueRest || handed < ranges[i].length;
            }
        } else {
            for (size_t i = 0; i < count; ++i)
                appendToQueue(ranges[i].data, ranges[i].length);
            m_sendOffset += pump(m_sendQueue.data() + m_sendOffset, unsentBytes());
        }
    }
    reconnectWhenDue();
    readServerMessages();
    if (m_sendOffset == m_sendQueue.size()) {
        m_sendQueue.clear();
        m_sendOffset = 0;
    }
}

size_t StreamOutput::pump(const uint8_t* bytes, size_t length)
{
    size_t handed = 0;
    while (handed < length) {
        runConnection();
        const uint8_t* next = bytes + handed;
        size_t left = length - handed;
        if (m_protocol == StreamProtocol::Brox) {
            // At the end of the stream the bytes short of a whole block go
            // in a last, shorter message; before that they wait for more.
            size_t piece = std::min(left, kBroxDataSize);
            if ((piece < kBroxDataSize && !m_finishing) ||
                !queueBroxMessage(kBroxData, next, piece))
                break;
            handed += piece;
        } else {
            size_t n = std::min(size_t(m_connection->sendFree()), left);
            if (n == 0)
                break;
            m_connection->send(next, int(n));
            noteHanded(n, n);
            handed += n;
        }
    }
    return handed;
}

void StreamOutput::runConnection()
{
    int sent = 0;
    m_connection->run(-1, -1, &sent, nullptr);
    noteSent(size_t(sent));
    NetState state = m_connection->state();
    if (state == NetState::Connected || state == NetState::Closing)
        m_stats.connectedEver = true;
    if (state != m_lastState) {
        if (state == NetState::Error)
            log(DiagnosticLevel::Warning, std::string(protocolTag()) + " cannot connect to " +
                                              m_stats.server + ": " + m_connection->errorText());
        else if (state == NetState::Closed && m_lastState == NetState::Connected)
            log(DiagnosticLevel::Warning, std::string(protocolTag()) + " the server " +
                                              m_stats.server + " closed the connection");
        m_lastState = state;
    }
}

void StreamOutput::noteHanded(size_t ringBytes, size_t dataBytes)
{
    m_dataHanded += dataBytes;
    m_ringPieces.push_back({ringBytes, m_dataHanded});
}

void StreamOutput::noteSent(size_t ringBytes)
{
    m_stats.bytesSent += ringBytes;
    while (ringBytes > 0 && !m_ringPieces.empty()) {
        RingPiece& piece = m_ringPieces.front();
        size_t n = std::min(ringBytes, piece.bytes - m_ringPieceSent);
        m_ringPieceSent += n;
        ringBytes -= n;
        if (m_ringPieceSent == piece.bytes) {
            m_dataSent = piece.dataEnd;
            m_ringPieces.pop_front();
            m_ringPieceSent = 0;
        }
    }
    settleFrames();
}

void StreamOutput::closeDiscardingRing()
{
    m_connection->close(true);
    for (PendingFrame& frame : m_pendingFrames) {
        if (frame.start >= m_dataHanded)
            break;
        if (frame.end > m_dataSent)
            frame.cut = true;
    }
    m_dataSent = m_dataHanded;
    m_ringPieces.clear();
    m_ringPieceSent = 0;
    settleFrames();
}

void StreamOutput::settleFrames()
{
    while (!m_pendingFrames.empty() && m_pendingFrames.front().end <= m_dataSent) {
        ++(m_pendingFrames.front().cut ? m_stats.framesCut : m_stats.framesSent);
        m_pendingFrames.pop_front();
    }
}

void StreamOutput::reconnectWhenDue()
{
    NetState state = m_connection->state();
    if (state != NetState::Error && state != NetState::Closing && state != NetState::Closed)
        return;
    uint64_t now = m_clock.nowMs();
    if (now - m_lastConnectMs <= kStreamReconnectMs)
        return;
    m_lastConnectMs = now;
    closeDiscardingRing();
    log(DiagnosticLevel::Warning, std::string(protocolTag()) + " reconnecting to " + m_serverHost +
                                      ":" + std::to_string(m_serverPort));
    m_connection->connect(m_serverHost.c_str(), m_serverPort);
    m_lastState = m_connection->state();
    queueStoredHeader();
    ++m_stats.reconnects;
}

void StreamOutput::finish(int flushMs)
{
    if (!m_connection || m_finished)
        return;
    m_finished = true;
    m_finishing = true;
    const uint64_t deadline = steadyClock().nowMs() + uint64_t(std::max(flushMs, 0));
    for (;;) {
        runConnection();
        m_sendOffset += pump(m_sendQueue.data() + m_sendOffset, unsentBytes());
        readServerMessages();
        if (!isUnderWay(m_connection->state()) ||
            (unsentBytes() == 0 && m_connection->sendQueued() == 0))
            break;
        const uint64_t now = steadyClock().nowMs();
        if (now >= deadline)
            break;
        m_connection->waitReady(int(std::min(deadline - now, kFlushStepMs)));
    }
    // What has not gone out by now never will: frames cut by an earlier
    // reconnect stay cut, the others count as dropped at the close.
    m_connection->close(true);
    for (const PendingFrame& frame : m_pendingFrames)
        ++(frame.cut ? m_stats.framesCut : m_stats.framesDroppedAtClose);
    m_pendingFrames.clear();
    m_ringPieces.clear();
    m_ringPieceSent = 0;
    m_sendQueue.clear();
    m_sendOffset = 0;
    logSummary();
}

void StreamOutput::logSummary()
{
    const StreamStats& s = m_stats;
    const uint64_t total = s.framesSent + s.framesNotSent();
    std::string line = protocolTag();
    if (!s.connectedEver) {
        log(DiagnosticLevel::Warning, line + " never connected to " + s.server + "; " +
                                          countOf(total, "frame", "frames") + " not sent");
        return;
    }
    line += " " + std::to_string(s.framesSent) + " of " + countOf(total, "frame", "frames") +
            " sent to " + s.server + " (" + countOf(s.bytesSent, "byte", "bytes");
    if (s.reconnects > 0)
        line += ", " + countOf(s.reconnects, "reconnect", "reconnects");
    line += ")";
    if (s.framesNotSent() == 0) {
        log(DiagnosticLevel::Info, line);
        return;
    }
    line += "; not sent: ";
    const char* sep = "";
    auto part = [&](uint64_t n, const char* what) {
        if (n == 0)
            return;
        line += sep + std::to_string(n) + " " + what;
        sep = ", ";
    };
    part(s.framesDroppedBacklog, "left out behind a full backlog");
    part(s.framesCut, "cut off with a lost connection");
    part(s.framesDroppedAtClose, "still queued at the end");
    log(DiagnosticLevel::Warning, line);
}

void StreamOutput::readServerMessages()
{
    if (m_connection->recvAvailable() <= 0)
        return;
    if (m_protocol == StreamProtocol::Qz) {
        uint8_t discard[1024];
        m_connection->read(discard, sizeof discard);
        return;
    }
    while (m_connection->recvAvailable() >= int(kBroxHeaderSize)) {
        uint8_t head[kBroxHeaderSize];
        m_connection->peek(head, int(kBroxHeaderSize));
        BroxMessageHeader h;
        // A message longer than the receive ring could never be taken whole,
        // so its start is treated like any other stray byte.
        if (!parseBroxHeader(head, &h) || h.length + kBroxOverhead > size_t(kStreamRingSize)) {
            m_connection->read(head, 1);
            continue;
        }
        if (m_connection->recvAvailable() < int(h.length + kBroxOverhead))
            return; // the rest is still on its way
        m_connection->read(head, int(kBroxHeaderSize));
        std::vector<uint8_t> payload(size_t(h.length) + 1);
        m_connection->read(payload.data(), int(payload.size()));
        log(DiagnosticLevel::Info, "[brox]Got msg: " + std::to_string(h.second) + "," +
                                       std::to_string(h.field) + "," + std::to_string(h.length) +
                                       ",'" + printable(payload, h.length) + "'");
        return;
    }
}

} // namespace moxel
