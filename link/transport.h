#pragma once
// The two ways of carrying telegrams between the PC and the sensor: the RS-232 port `comport`
// and the TCP conversation with ipBuf:portNum. The link works through CurrentTransport(),
// the one that `comprotocol` named when it was last opened; no other code asks which one is
// in use.
#include <cstdint>

#include "core/frameassembler.h"

namespace sensorlink {

// One transport: opening it, dropping stale bytes, writing the telegram in szWriteBuf,
// awaiting the 36-byte reply in szReadBuf, and taking the frames of a triggered stream.
class Transport {
public:
    virtual ~Transport() = default;

    virtual void Open() = 0;   // outcome in ret; on failure szStatus in the status displays
    virtual void Close() = 0;
    // Drops stale bytes in both queues before a conversation (RS-232; nothing over TCP).
    virtual void FlushQueues() {}
    // Drops bytes that arrived while no reply was awaited and expects 36 (TCP; nothing over
    // RS-232, whose queue is counted when the wait ends).
    virtual void ArmReply() {}
    virtual void Write(int timeoutMs) = 0;
    // Waits at most limitSeconds for the reply; returns bytesToRead (0 = complete).
    virtual int32_t AwaitReply(double limitSeconds) = 0;
    // The time limit and write time-out of the identification request.
    virtual double IdentifyLimitS() const = 0;
    virtual int IdentifyWriteTimeoutMs() const = 0;

    // A stream of frames (triggered data): BeginStream drops stale bytes, AwaitStreamFrame
    // waits without a limit until a whole frame is in szReadBuf (returns 0) or poll becomes
    // 0 (returns the bytes still missing), EndStream drops whatever still arrives. A frame
    // is whole when the next one's mark follows it, or kStreamQuietS of silence.
    virtual void BeginStream() = 0;
    int32_t AwaitStreamFrame();
    virtual void EndStream() {}

protected:
    // Takes at most one byte of the stream; false when none has arrived.
    virtual bool ReadStreamByte(uint8_t& byte) = 0;

    FrameAssembler m_frames;    // the stream cut into frames, in step with the reply mark
    double m_lastByteS = 0.0;   // when the stream's last byte was taken (Timer)
};

// The transport last opened (before any, the one `comprotocol` names). A change of
// `comprotocol` takes effect at the next OpenTransport, so an exchange or a connection attempt
// that runs while the interface selector changes keeps to one transport from start to end.
Transport& CurrentTransport();
// Opens the transport that `comprotocol` names and makes it the current one; the serial port
// or TCP conversation of the other is left as it is. Outcome in ret (and tcpcon).
void OpenTransport();
// Closes the serial port `comport` and, while one is open, the TCP conversation.
void CloseTransports();

}   // namespace sensorlink
