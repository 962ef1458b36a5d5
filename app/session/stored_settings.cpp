#include "session/stored_settings.h"

namespace {

bool flag(const SettingsBackend& store, const char* key, bool fallback)
{
    return store.value(key, fallback ? 1 : 0).toInt() != 0;
}

std::uint8_t lineState(const SettingsBackend& store, const char* key, std::uint8_t fallback)
{
    return static_cast<std::uint8_t>(store.value(key, fallback).toInt());
}

}  // namespace

StoredSettings readStoredSettings(const SettingsBackend& store)
{
    const StoredSettings d;
    StoredSettings s;
    CommSettings& c = s.comm;
    ProgramSettings& p = s.program;
    c.portName = store.value("Port", d.comm.portName).toString();
    p.attempts = static_cast<std::uint16_t>(store.value("NumErrors", d.program.attempts).toInt());
    p.periodMs = store.value("Period", d.program.periodMs).toInt();
    p.confirmUpdate = flag(store, "Confirm Update", d.program.confirmUpdate);
    p.log = flag(store, "Log", d.program.log);
    p.logFileName = store.value("LogFileName", d.program.logFileName).toString();
    p.graphSpanMs = store.value("TimeCoeff", d.program.graphSpanMs).toInt();
    p.readQuant = flag(store, "Read Quant", d.program.readQuant);
    c.automaticFlow = flag(store, "FlowControl", d.comm.automaticFlow);
    c.sendDTR = lineState(store, "SendDTR", d.comm.sendDTR);
    c.sendRTS = lineState(store, "SendRTS", d.comm.sendRTS);
    c.recvDTR = lineState(store, "RecvDTR", d.comm.recvDTR);
    c.recvRTS = lineState(store, "RecvRTS", d.comm.recvRTS);
    return s;
}

void writeStoredSettings(SettingsBackend& store, const StoredSettings& s)
{
    const CommSettings& c = s.comm;
    const ProgramSettings& p = s.program;
    store.setValue("Port", c.portName);
    store.setValue("NumErrors", static_cast<std::uint16_t>(p.attempts));
    store.setValue("Period", p.periodMs);
    store.setValue("Confirm Update", p.confirmUpdate ? 1 : 0);
    store.setValue("Log", p.log ? 1 : 0);
    store.setValue("LogFileName", p.logFileName);
    store.setValue("TimeCoeff", p.graphSpanMs);
    store.setValue("FlowControl", c.automaticFlow ? 1 : 0);
    store.setValue("SendDTR", c.sendDTR);
    store.setValue("SendRTS", c.sendRTS);
    store.setValue("RecvDTR", c.recvDTR);
    store.setValue("RecvRTS", c.recvRTS);
}
