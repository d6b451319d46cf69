#pragma once
// The simulated sensor without a transport: RAM and EEPROM records (the EEPROM optionally
// kept in a file), identification text, the signal model, the answer to each request,
// injected faults and a log of all traffic.
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>
#include <string>
#include <vector>

#include "sim/fault.h"
#include "sim/model.h"
#include "sim/protocol.h"

namespace sim {

constexpr uint64_t kDefaultSeed = 1;
constexpr int kTriggerPollMs =
    1;   // model step interval while a connection awaits triggered frames
constexpr int kMaxCatchUpMs = 1000;        // at most this much model time is stepped at once
constexpr size_t kMaxLogEntries = 20000;   // the oldest half of the log goes when it is full
inline constexpr char kDefaultIdentification[] = "TAVRIX-Vovez SIM V2.0";

// Power 500, static, window 1000..3000, average 1, direct, hold 0, WIN, tracing off,
// teach value 2048, tolerance 200, hysteresis 50: every passing object leaves the window.
constexpr Record kDefaultRecord = {500, 0, 1000, 3000, 1, 0, 0, 2, 0, 0, 0, 2048, 200, 50, 0, 0};

enum class LogKind { Request, Reply };

// One log entry: a request as received or a reply as it leaves (faults applied).
struct LogEntry {
    LogKind m_kind = LogKind::Request;
    std::vector<uint8_t> m_bytes;
};

// The simulated sensor; transports feed it whole requests and send what it answers.
class Sensor : public QObject {
    Q_OBJECT

public:
    explicit Sensor(uint64_t seed = kDefaultSeed, QObject* parent = nullptr);

    // Acts on one request and returns its reply; nothing for code 50 (its frames come
    // through triggeredFrame), for unknown codes and when a fault swallows the reply.
    std::optional<ReplyPlan> answer(const Telegram& request);

    // Applies fault to the next count replies to code (-1: to all); returns its id.
    int addFault(uint16_t code, const Fault& fault, int count = -1);
    // How often the fault with this id has been applied.
    int faultApplied(int id) const;

    // Emits a triggered frame for the current state now, whether the output changed or not.
    void emitTriggeredFrame();
    // Counts connections that await triggered frames; while any does, the model runs on
    // a timer and every output change emits triggeredFrame.
    void watchTriggered(bool on);

    // Keeps the EEPROM in the parameter file at path from now on: loads it into EEPROM and
    // RAM, as a sensor does at power-up, and writes it on every store (code 6). Returns ""
    // or why the file could not be loaded; then the records stay as they are.
    QString useEepromFile(const QString& path);

    void setIdentification(const std::string& text) { m_identification = text; }
    void setScene(Scene scene) { m_model.m_scene = scene; }
    const Record& ram() const { return m_ram; }
    const Record& eeprom() const { return m_eeprom; }
    const std::vector<LogEntry>& log() const { return m_log; }
    // The requests of the log, in the order received.
    std::vector<Telegram> requests() const;
    void clearLog() { m_log.clear(); }

signals:
    // A triggered frame (code 50), faults applied, for every connection in triggered mode.
    void triggeredFrame(const sim::ReplyPlan& plan);
    // Every reply as it is to leave, faults applied; a swallowed one has no bytes.
    void replyLeft(quint16 code, const sim::ReplyPlan& plan);
    // A store could not be written to the EEPROM file; the EEPROM record holds it all the same.
    void eepromFileFailed(const QString& reason);

private:
    // An entry of the fault table.
    struct FaultEntry {
        uint16_t m_code = 0;
        Fault m_fault;
        int m_remaining = -1;   // replies still to fault; -1 = no limit
        int m_applied = 0;
    };

    void advance();
    void emitFrame();
    ReplyPlan echo(const Telegram& request) const;
    ReplyPlan recordReply(uint16_t code, const Record& record) const;
    ReplyPlan identificationReply() const;
    void storeEeprom();
    std::optional<ReplyPlan> deliver(uint16_t code, ReplyPlan plan);

    Record m_ram = kDefaultRecord;
    Record m_eeprom = kDefaultRecord;
    bool m_readEeprom = false;   // the next parameter read returns the EEPROM record
    QString m_eepromPath;        // file that keeps the EEPROM record; empty: none
    std::string m_identification = kDefaultIdentification;
    ModelState m_model;
    QTimer m_triggerTimer;
    int m_watchers = 0;
    std::vector<FaultEntry> m_faults;
    void log(LogEntry entry);
    std::vector<LogEntry> m_log;
};

}   // namespace sim
