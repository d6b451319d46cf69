#pragma once
// The two ways of carrying telegrams between the PC and the sensor: the RS-232 port `comport`
// and the TCP conversation with ipBuf:portNum. The link works through CurrentTransport(),
// the one that `comprotocol` names; no other code asks which one is in use.
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
    // 0 (returns the bytes still missing), EndStream drops whatever still arrives.
    virtual void BeginStream() = 0;
    int32_t AwaitStreamFrame();
    virtual void EndStream() {}

protected:
    // Takes at most one byte of the stream; false when none has arrived.
    virtual bool ReadStreamByte(uint8_t& byte) = 0;

    FrameAssembler m_frames;   // the stream cut into frames, in step with the reply mark
};

// The transport of the interface chosen in `comprotocol`.
Transport& CurrentTransport();

}   // namespace sensorlink
