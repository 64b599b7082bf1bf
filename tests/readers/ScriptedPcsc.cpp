#include "ScriptedPcsc.h"

#include "HexBytes.h"

#include <PCSC/reader.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

std::string Hex(const uint8_t* bytes, size_t length)
{
    std::string text;
    char digits[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(digits, sizeof digits, i ? " %02X" : "%02X", bytes[i]);
        text += digits;
    }
    return text;
}

std::string Hex(const std::vector<uint8_t>& bytes)
{
    return Hex(bytes.data(), bytes.size());
}

std::string Handle(uint64_t handle)
{
    std::ostringstream text;
    text << "0x" << std::hex << handle;
    return text.str();
}

std::string DescribeConnect(SCARDCONTEXT context, const std::string& reader, DWORD share, DWORD protocols)
{
    return "Connect(" + Handle(context) + ", \"" + reader + "\", share " + std::to_string(share) + ", protocols "
        + std::to_string(protocols) + ")";
}

std::string DescribeStates(SCARDCONTEXT context, DWORD timeoutMs, const std::vector<std::string>& readers)
{
    std::string text = "GetStatusChange(" + Handle(context) + ", timeout " + std::to_string(timeoutMs);
    for (const std::string& reader : readers)
        text += ", \"" + reader + "\"";
    return text + ")";
}

std::string DescribeTransmit(SCARDHANDLE card, bool t1, const std::string& frame, DWORD receiveSize)
{
    return "Transmit(" + Handle(card) + (t1 ? ", T1, " : ", not T1, ") + frame + ", receive "
        + std::to_string(receiveSize) + ")";
}

std::string DescribeControl(SCARDHANDLE card, DWORD code, const std::string& frame, DWORD receiveSize, bool zeroed)
{
    return "Control(" + Handle(card) + ", code " + Handle(code) + ", " + frame + ", receive "
        + std::to_string(receiveSize) + (zeroed ? ", zeroed)" : ", not zeroed)");
}

} // namespace

CScriptedPcsc& CScriptedPcsc::Establish(LONG rc, SCARDCONTEXT context)
{
    return Expect({"EstablishContext(scope " + std::to_string(SCARD_SCOPE_USER) + ")", rc, context, {}, {}});
}

CScriptedPcsc& CScriptedPcsc::Release(SCARDCONTEXT context)
{
    return Expect({"ReleaseContext(" + Handle(context) + ")", SCARD_S_SUCCESS, 0, {}, {}});
}

CScriptedPcsc& CScriptedPcsc::List(std::vector<std::string> readers, LONG rc)
{
    return Expect({"ListReaders(" + Handle(kContext) + ", \"SCard$AllReaders\")", rc, 0, std::move(readers), {}});
}

CScriptedPcsc& CScriptedPcsc::ConnectShared(const std::string& reader, LONG rc, SCARDCONTEXT context)
{
    return Expect({DescribeConnect(context, reader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1), rc,
                   kCard, {}, {}});
}

CScriptedPcsc& CScriptedPcsc::ConnectDirect(const std::string& reader, LONG rc)
{
    return Expect({DescribeConnect(kContext, reader, SCARD_SHARE_DIRECT, 0), rc, kCard, {}, {}});
}

CScriptedPcsc& CScriptedPcsc::Disconnect(DWORD disposition)
{
    return Expect({"Disconnect(" + Handle(kCard) + ", " + std::to_string(disposition) + ")", SCARD_S_SUCCESS, 0,
                   {}, {}});
}

CScriptedPcsc& CScriptedPcsc::Status(const std::string& atr, LONG rc)
{
    return Expect({"Status(" + Handle(kCard) + ")", rc, 0, {}, HexBytes(atr)});
}

CScriptedPcsc& CScriptedPcsc::States(const std::vector<std::string>& readers, const std::vector<std::string>& atrs,
                                     LONG rc)
{
    Call call{DescribeStates(kContext, 0, readers), rc, 0, {}, {}};
    for (const std::string& atr : atrs)
        call.atrs.push_back(HexBytes(atr));
    EXPECT_EQ(call.atrs.size(), readers.size()) << "one ATR per reader";
    return Expect(std::move(call));
}

CScriptedPcsc& CScriptedPcsc::Begin(LONG rc)
{
    return Expect({"BeginTransaction(" + Handle(kCard) + ")", rc, 0, {}, {}});
}

CScriptedPcsc& CScriptedPcsc::End()
{
    return Expect({"EndTransaction(" + Handle(kCard) + ", " + std::to_string(SCARD_LEAVE_CARD) + ")",
                   SCARD_S_SUCCESS, 0, {}, {}});
}

CScriptedPcsc& CScriptedPcsc::Transmit(const std::string& frame, DWORD receiveSize, const std::string& answer,
                                       LONG rc)
{
    std::vector<uint8_t> bytes = HexBytes(answer);
    EXPECT_LE(bytes.size(), receiveSize) << "scripted answer does not fit: " << answer;
    return Expect({DescribeTransmit(kCard, true, Hex(HexBytes(frame)), receiveSize), rc, 0, {}, std::move(bytes)});
}

CScriptedPcsc& CScriptedPcsc::Exchange(const std::string& frame, DWORD receiveSize, const std::string& answer)
{
    return Begin().Transmit(frame, receiveSize, answer).End();
}

CScriptedPcsc& CScriptedPcsc::Control(const std::string& frame, DWORD receiveSize, const std::string& answer,
                                      LONG rc)
{
    std::vector<uint8_t> bytes = HexBytes(answer);
    EXPECT_LE(bytes.size(), receiveSize) << "scripted answer does not fit: " << answer;
    return Expect({DescribeControl(kCard, SCARD_CTL_CODE(3500), Hex(HexBytes(frame)), receiveSize, true), rc, 0,
                   {}, std::move(bytes)});
}

CScriptedPcsc& CScriptedPcsc::Stalling()
{
    const std::lock_guard lock(m_mutex);
    if (!m_script.empty())
        m_script.back().stalls = true;
    return *this;
}

void CScriptedPcsc::EndStalls()
{
    {
        const std::lock_guard lock(m_mutex);
        m_bStallEnded = true;
    }
    m_stallEnded.notify_all();
}

size_t CScriptedPcsc::Stalled() const
{
    const std::lock_guard lock(m_mutex);
    return m_nStalled;
}

size_t CScriptedPcsc::Remaining() const
{
    const std::lock_guard lock(m_mutex);
    return m_script.size();
}

void CScriptedPcsc::ExpectAllCalled()
{
    const std::lock_guard lock(m_mutex);
    for (const Call& call : m_script)
        ADD_FAILURE() << "expected PC/SC call never came: " << call.description;
    m_script.clear();
}

CScriptedPcsc& CScriptedPcsc::Expect(Call call)
{
    const std::lock_guard lock(m_mutex);
    m_script.push_back(std::move(call));
    return *this;
}

std::optional<CScriptedPcsc::Call> CScriptedPcsc::Take(const std::string& description)
{
    std::unique_lock lock(m_mutex);
    ++m_nCalls;
    if (m_script.empty()) {
        ADD_FAILURE() << "PC/SC call " << m_nCalls << " not expected: " << description;
        return std::nullopt;
    }
    if (m_script.front().description != description) {
        ADD_FAILURE() << "PC/SC call " << m_nCalls << "\n  expected: " << m_script.front().description
                      << "\n  actual:   " << description;
        return std::nullopt;
    }
    Call call = std::move(m_script.front());
    m_script.pop_front();
    if (call.stalls) {
        ++m_nStalled;
        m_stallEnded.wait(lock, [this] { return m_bStallEnded; });
    }
    return call;
}

LONG CScriptedPcsc::EstablishContext(DWORD scope, SCARDCONTEXT* context)
{
    const std::optional<Call> call = Take("EstablishContext(scope " + std::to_string(scope) + ")");
    if (!call)
        return SCARD_F_INTERNAL_ERROR;
    if (call->rc == SCARD_S_SUCCESS)
        *context = static_cast<SCARDCONTEXT>(call->handle);
    return call->rc;
}

LONG CScriptedPcsc::ReleaseContext(SCARDCONTEXT context)
{
    const std::optional<Call> call = Take("ReleaseContext(" + Handle(context) + ")");
    return call ? call->rc : SCARD_F_INTERNAL_ERROR;
}

LONG CScriptedPcsc::ListReaders(SCARDCONTEXT context, const char* group, std::vector<std::string>& readers)
{
    const std::optional<Call> call = Take("ListReaders(" + Handle(context) + ", \"" + (group ? group : "(null)") + "\")");
    if (!call)
        return SCARD_F_INTERNAL_ERROR;
    readers = call->rc == SCARD_S_SUCCESS ? call->readers : std::vector<std::string>();
    return call->rc;
}

LONG CScriptedPcsc::Connect(SCARDCONTEXT context, const std::string& reader, DWORD shareMode,
                            DWORD preferredProtocols, SCARDHANDLE* card, DWORD* activeProtocol)
{
    const std::optional<Call> call = Take(DescribeConnect(context, reader, shareMode, preferredProtocols));
    if (!call)
        return SCARD_F_INTERNAL_ERROR;
    if (call->rc == SCARD_S_SUCCESS) {
        *card = static_cast<SCARDHANDLE>(call->handle);
        if (activeProtocol)
            *activeProtocol = preferredProtocols ? SCARD_PROTOCOL_T1 : 0;
    }
    return call->rc;
}

LONG CScriptedPcsc::Disconnect(SCARDHANDLE card, DWORD disposition)
{
    const std::optional<Call> call = Take("Disconnect(" + Handle(card) + ", " + std::to_string(disposition) + ")");
    return call ? call->rc : SCARD_F_INTERNAL_ERROR;
}

LONG CScriptedPcsc::Status(SCARDHANDLE card, std::vector<uint8_t>& atr)
{
    const std::optional<Call> call = Take("Status(" + Handle(card) + ")");
    if (!call)
        return SCARD_F_INTERNAL_ERROR;
    atr = call->rc == SCARD_S_SUCCESS ? call->answer : std::vector<uint8_t>();
    return call->rc;
}

LONG CScriptedPcsc::ReaderStates(SCARDCONTEXT context, DWORD timeoutMs, const std::vector<std::string>& readers,
                                 std::vector<SReaderState>& states)
{
    const std::optional<Call> call = Take(DescribeStates(context, timeoutMs, readers));
    states.clear();
    if (!call)
        return SCARD_F_INTERNAL_ERROR;
    if (call->rc == SCARD_S_SUCCESS) {
        for (const std::vector<uint8_t>& atr : call->atrs) {
            const DWORD state = SCARD_STATE_CHANGED | (atr.empty() ? SCARD_STATE_EMPTY : SCARD_STATE_PRESENT);
            states.push_back({state, atr});
        }
    }
    return call->rc;
}

LONG CScriptedPcsc::BeginTransaction(SCARDHANDLE card)
{
    const std::optional<Call> call = Take("BeginTransaction(" + Handle(card) + ")");
    return call ? call->rc : SCARD_F_INTERNAL_ERROR;
}

LONG CScriptedPcsc::EndTransaction(SCARDHANDLE card, DWORD disposition)
{
    const std::optional<Call> call = Take("EndTransaction(" + Handle(card) + ", " + std::to_string(disposition) + ")");
    return call ? call->rc : SCARD_F_INTERNAL_ERROR;
}

LONG CScriptedPcsc::Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, const uint8_t* send,
                             DWORD sendLength, uint8_t* receive, DWORD* receiveLength)
{
    return Answer(Take(DescribeTransmit(card, sendPci == SCARD_PCI_T1, Hex(send, sendLength), *receiveLength)),
                  receive, receiveLength);
}

LONG CScriptedPcsc::Control(SCARDHANDLE card, DWORD controlCode, const uint8_t* send, DWORD sendLength,
                            uint8_t* receive, DWORD receiveSize, DWORD* bytesReturned)
{
    const bool zeroed = std::all_of(receive, receive + receiveSize, [](uint8_t b) { return b == 0; });
    return Answer(Take(DescribeControl(card, controlCode, Hex(send, sendLength), receiveSize, zeroed)), receive,
                  bytesReturned);
}

// The scripted answer bytes of a transmit or escape call, and its result.
LONG CScriptedPcsc::Answer(const std::optional<Call>& call, uint8_t* receive, DWORD* received)
{
    if (!call)
        return SCARD_F_INTERNAL_ERROR;
    if (call->rc != SCARD_S_SUCCESS)
        return call->rc;
    std::copy(call->answer.begin(), call->answer.end(), receive);
    *received = static_cast<DWORD>(call->answer.size());
    return SCARD_S_SUCCESS;
}
