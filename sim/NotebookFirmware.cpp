#include "NotebookFirmware.h"

#include <algorithm>
#include <cstring>

#include "Cmd5.h"
#include "ScanCodes.h"
#include "SecureWipe.h"

namespace sim {

namespace {

std::uint64_t Fnv1a(const std::uint8_t* codes, int count, bool reverse)
{
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (int i = 0; i < count; ++i) {
        hash ^= codes[reverse ? count - 1 - i : i];
        hash *= 0x100000001B3ull;
    }
    return hash;
}

std::uint32_t Word(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void PutWord(std::uint8_t* bytes, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

Passcode PasscodeFromBlock(std::uint32_t first, std::uint32_t second)
{
    Passcode p{};
    fw::GetPasscode(first, second, p.data());
    return p;
}

bool SameCode(const Passcode& a, const Passcode& b)
{
    return std::equal(a.begin(), a.end(), b.begin());
}

} // namespace

std::vector<std::uint8_t> UsScanCodes(const std::string& text)
{
    std::vector<std::uint8_t> codes;
    for (unsigned char c : text) {
        std::uint8_t code = scancode::UsLayout(c);
        if (code == scancode::kNoKey && c == ',')
            code = scancode::kComma;
        codes.push_back(code);
    }
    return codes;
}

bool Class20Result(const std::uint8_t* codes, int count, std::uint8_t result[16])
{
    if (codes == nullptr || result == nullptr || count < 1 || count > 50)
        return false;
    const std::uint64_t forward = Fnv1a(codes, count, false);
    const std::uint64_t backward = Fnv1a(codes, count, true);
    for (int i = 0; i < 8; ++i) {
        result[i] = static_cast<std::uint8_t>(forward >> (8 * i));
        result[8 + i] = static_cast<std::uint8_t>(backward >> (8 * i));
    }
    return true;
}

Passcode PasscodeOf(const std::vector<std::uint8_t>& codes, bool class21)
{
    std::uint8_t result[16] = {};
    if (class21) {
        Cmd5 md5;
        md5.Digest(codes.data(), codes.size());
        std::memcpy(result, md5.Digest(), 16);
    } else {
        Class20Result(codes.data(), static_cast<int>(codes.size()), result);
    }
    Passcode p{};
    std::memcpy(p.data(), result, 8);
    SecureWipe(result, sizeof result);
    return p;
}

Passcode PasscodeOfText(const std::string& text, bool class21)
{
    return PasscodeOf(UsScanCodes(text), class21);
}

const Fault* CFirmware::TakeFault(Fault::Target target, std::uint16_t request, const FirmwareCallBlock* block, bool write)
{
    for (auto it = m_state.faults.begin(); it != m_state.faults.end(); ++it) {
        const Fault& f = *it;
        if (f.target != target)
            continue;
        if (target == Fault::Target::Request || target == Fault::Target::Hardware) {
            if (f.request != request)
                continue;
            if ((f.direction == Fault::Direction::Read && write) || (f.direction == Fault::Direction::Write && !write))
                continue;
        }
        if (block != nullptr && target == Fault::Target::Request) {
            if (f.sub && *f.sub != block->SubRequest)
                continue;
            // A selector names a read unless the fault says otherwise (connect, disconnect).
            if (f.selector && f.direction == Fault::Direction::Any && write)
                continue;
            if (f.selector && *f.selector != static_cast<std::uint16_t>(block->ValueB))
                continue;
        }
        m_taken = f;
        if (f.remaining > 0) {
            m_changed = true;
            if (--it->remaining == 0)
                m_state.faults.erase(it);
        } else if (f.remaining == 0) {
            continue;
        }
        return &m_taken;
    }
    return nullptr;
}

bool CFirmware::Open(std::uint32_t& handle)
{
    if (TakeFault(Fault::Target::Open))
        return false;
    handle = m_session.nextHandle++;
    m_session.handles.insert(handle);
    return true;
}

bool CFirmware::Close(std::uint32_t handle)
{
    if (!m_session.handles.count(handle) || TakeFault(Fault::Target::Close))
        return false;
    m_session.handles.erase(handle);
    if (m_session.connected == handle) {
        m_session.connected = 0;
        m_session.temporarySupervisor = false;
    }
    return true;
}

bool CFirmware::Get(std::uint32_t handle, FirmwareCallBlock& block)
{
    return Request(handle, block, false);
}

bool CFirmware::Set(std::uint32_t handle, FirmwareCallBlock& block)
{
    return Request(handle, block, true);
}

bool CFirmware::Request(std::uint32_t handle, FirmwareCallBlock& block, bool write)
{
    if (!m_session.handles.count(handle))
        return false;
    if (const Fault* f = TakeFault(Fault::Target::Request, block.Request, &block, write)) {
        switch (f->action) {
        case Fault::Action::Fail: return false;
        case Fault::Action::Busy: block.SetCompletion(fw::kBusy); return true;
        default: block.SetCompletion(static_cast<std::uint8_t>(f->value)); return true;
        }
    }
    if (block.Function != (write ? fw::kSystemWrite : fw::kSystemRead)) {
        block.SetCompletion(kBadParameter);
        return true;
    }
    if (write && block.Request == fw::kRequestConnection) {
        // A connect always starts afresh: a connection that an earlier
        // exchange left behind (it stopped at a failure) is dropped.
        switch (static_cast<std::uint16_t>(block.ValueB)) {
        case fw::kSelectorConnect:
            m_session.connected = handle;
            m_session.temporarySupervisor = false;
            block.SetCompletion(fw::kDone);
            return true;
        case fw::kSelectorDisconnect:
            if (m_session.connected != handle) {
                block.SetCompletion(kNotConnected);
                return true;
            }
            m_session.connected = 0;
            m_session.temporarySupervisor = false;
            block.SetCompletion(fw::kDone);
            return true;
        default:
            block.SetCompletion(kBadParameter);
            return true;
        }
    }
    if (m_session.connected != handle) {
        block.SetCompletion(kNotConnected);
        return true;
    }
    block.SetCompletion(write ? Write(block) : Read(block));
    return true;
}

bool CFirmware::GetWithOpen(FirmwareCallBlock& block)
{
    if (TakeFault(Fault::Target::OneCall))
        return false;
    if (block.Function != fw::kSystemRead)
        return false;
    const std::uint8_t completion = Read(block);
    block.SetCompletion(completion);
    return completion == fw::kDone;
}

bool CFirmware::SetWithOpen(FirmwareCallBlock& block)
{
    if (TakeFault(Fault::Target::OneCall))
        return false;
    if (block.Function != fw::kSystemWrite || block.Request == fw::kRequestConnection)
        return false;
    // A one-call write runs in a connection of its own, without temporary rights.
    const FirmwareSession saved = m_session;
    m_session.temporarySupervisor = false;
    const std::uint8_t completion = Write(block);
    m_session = saved;
    block.SetCompletion(completion);
    return completion == fw::kDone;
}

std::uint8_t CFirmware::Read(FirmwareCallBlock& block)
{
    if (block.SubRequest != 0)
        return kBadParameter;
    const std::uint16_t selector = static_cast<std::uint16_t>(block.ValueB);
    const auto reply = [&](std::uint32_t b, std::uint32_t a) {
        block.ValueB = b;
        block.ValueA = a;
        return fw::kDone;
    };
    switch (block.Request) {
    case fw::kRequestConnection:
        block.ValueA = m_state.LevelWord();
        return fw::kDone;
    case fw::kRequestSecurity:
        if (selector != 0)
            return kBadParameter;
        return reply(m_state.StatusB(), m_state.StatusA());
    case fw::kRequestHdd:
        switch (selector) {
        case 0x0000: return reply(m_state.hddSupport, 0);
        case 0x0100: return reply(0, m_state.hdd ? 0 : 1); // non-zero: no HDD password set
        case 0x0101: return reply(m_state.hddFlags, 0);
        default: return kBadParameter;
        }
    case fw::kRequestPolicy:
        switch (selector) {
        case 0x0000: return reply(m_state.pcPolicy, 0);
        case 0x0081: return reply(m_state.userPolicy, m_state.userPolicyEx);
        case 0x8081: return reply(m_state.supportMask, 0);
        default: {
            const auto it = m_state.pages.find(selector);
            if (it == m_state.pages.end())
                return kBadParameter;
            return reply(it->second.first, it->second.second);
        }
        }
    default:
        return kBadParameter;
    }
}

std::uint8_t CFirmware::Write(FirmwareCallBlock& block)
{
    switch (block.Request) {
    case fw::kRequestSecurity:
        if (block.SubRequest != fw::kSubTemporarySupervisor)
            return kBadParameter;
        return TemporaryRights(block);
    case fw::kRequestPassword: return PasswordWrite(block);
    case fw::kRequestHdd: return HddWrite(block);
    case fw::kRequestPolicy: return PolicyWrite(block);
    default: return kBadParameter;
    }
}

std::uint8_t CFirmware::CheckPasscode(FirmwareCallBlock& block, const Passcode& given,
                                      std::initializer_list<const Passcode*> accepted)
{
    if (Locked()) {
        block.ValueA = 0;
        return kRetryLimit;
    }
    for (const Passcode* p : accepted) {
        if (p != nullptr && SameCode(*p, given)) {
            if (m_state.wrongPasscodes != 0) {
                m_state.wrongPasscodes = 0;
                m_changed = true;
            }
            return fw::kDone;
        }
    }
    ++m_state.wrongPasscodes;
    m_changed = true;
    block.ValueA = static_cast<std::uint32_t>(std::max(0, m_state.retryLimit - m_state.wrongPasscodes));
    return Locked() ? kRetryLimit : kWrongPasscode;
}

std::uint8_t CFirmware::TemporaryRights(FirmwareCallBlock& block)
{
    if (!m_state.supervisor) { // nobody to prove: everyone holds those rights
        m_session.temporarySupervisor = true;
        return fw::kDone;
    }
    const Passcode given = PasscodeFromBlock(block.Data0, block.Data1);
    const std::uint8_t verdict = CheckPasscode(block, given, {&*m_state.supervisor});
    if (verdict == fw::kDone)
        m_session.temporarySupervisor = true;
    return verdict;
}

std::uint8_t CFirmware::PasswordWrite(FirmwareCallBlock& block)
{
    const Passcode fresh = PasscodeFromBlock(block.Data0, block.Data1);
    const Passcode current = PasscodeFromBlock(block.ValueA, block.ValueB);
    const bool lengthOk = block.Length >= 1 && block.Length <= 50;
    const bool restricted = m_state.supervisor && !m_session.temporarySupervisor;
    const auto store = [&](std::optional<Passcode>& slot, std::optional<Passcode> value) {
        slot = value;
        m_changed = true;
        return fw::kDone;
    };
    const Passcode* user = m_state.user ? &*m_state.user : nullptr;
    const Passcode* supervisor = m_state.supervisor ? &*m_state.supervisor : nullptr;
    // With temporary supervisor rights the supervisor passcode proves a user
    // password change or deletion as well.
    const Passcode* supervisorForUser = m_session.temporarySupervisor ? supervisor : nullptr;

    switch (block.SubRequest) {
    case kSubSetUser:
        if (!lengthOk)
            return kBadParameter;
        if (m_state.user)
            return kAlreadyRegistered;
        if (restricted && !(m_state.pcPolicy & 0x2))
            return kNoRight;
        return store(m_state.user, fresh);
    case kSubSetSupervisor:
        if (!lengthOk)
            return kBadParameter;
        if (m_state.supervisor)
            return kAlreadyRegistered;
        if (m_state.user) // the supervisor password comes first
            return kNoRight;
        return store(m_state.supervisor, fresh);
    case kSubChangeUser: {
        if (!lengthOk)
            return kBadParameter;
        if (!m_state.user)
            return kNotRegistered;
        if (restricted && !(m_state.pcPolicy & 0x8))
            return kNoRight;
        const std::uint8_t verdict = CheckPasscode(block, current, {user, supervisorForUser});
        return verdict == fw::kDone ? store(m_state.user, fresh) : verdict;
    }
    case kSubChangeSupervisor: {
        if (!lengthOk)
            return kBadParameter;
        if (!m_state.supervisor)
            return kNotRegistered;
        const std::uint8_t verdict = CheckPasscode(block, current, {supervisor});
        return verdict == fw::kDone ? store(m_state.supervisor, fresh) : verdict;
    }
    case kSubDeleteUser: {
        if (!m_state.user)
            return kNotRegistered;
        if (restricted && !(m_state.pcPolicy & 0x4))
            return kNoRight;
        const std::uint8_t verdict = CheckPasscode(block, current, {user, supervisorForUser});
        return verdict == fw::kDone ? store(m_state.user, std::nullopt) : verdict;
    }
    case kSubDeleteSupervisor: {
        if (!m_state.supervisor)
            return kNotRegistered;
        const std::uint8_t verdict = CheckPasscode(block, current, {supervisor});
        return verdict == fw::kDone ? store(m_state.supervisor, std::nullopt) : verdict;
    }
    default:
        return kBadParameter;
    }
}

std::uint8_t CFirmware::HddWrite(FirmwareCallBlock& block)
{
    if (block.SubRequest != kSubSetHdd || block.Length < 1 || block.Length > 50)
        return kBadParameter;
    if (m_state.hddSupport != 0 || m_state.hddClass < 2)
        return kBadParameter; // no HDD password on this machine
    if (m_state.hdd)
        return kAlreadyRegistered;
    if (m_state.supervisor && !m_session.temporarySupervisor && !(m_state.pcPolicy & 0x20))
        return kNoRight;
    m_state.hdd = PasscodeFromBlock(block.Data0, block.Data1);
    m_changed = true;
    return fw::kDone;
}

std::uint8_t CFirmware::PolicyWrite(FirmwareCallBlock& block)
{
    if (block.SubRequest != fw::kSubUserPolicyWrite)
        return kBadParameter;
    if (!HasSupervisorRights())
        return kNoRight;
    m_state.userPolicy = block.ValueB;
    m_state.userPolicyEx = block.ValueA;
    // The PC policy is the effective form of the same permissions.
    constexpr std::uint32_t shared = 0x2 | 0x4 | 0x8 | 0x20;
    m_state.pcPolicy = (m_state.pcPolicy & ~shared) | (block.ValueB & shared);
    if (m_state.bit21OnPolicyWrite)
        m_state.statusBit21 = true;
    m_changed = true;
    return fw::kDone;
}

bool CFirmware::Hardware(FirmwareCallBlock& block)
{
    const bool write = block.Function == fw::kHardwareWrite;
    if (!write && block.Function != fw::kHardwareRead)
        return false;
    if (TakeFault(Fault::Target::Hardware, block.Request, nullptr, write))
        return false;
    switch (block.Request) {
    case fw::kRegisterBiosStatus:
        if (write)
            return false;
        block.ValueA = m_state.biosStatus;
        block.SetCompletion(fw::kDone);
        return true;
    case fw::kRegisterOwnerString: {
        if (!m_state.ownerSupported)
            return false;
        const std::size_t area = m_state.ownerArea;
        const std::size_t position = static_cast<std::uint16_t>(block.Data1);
        if (write) {
            const std::size_t count = static_cast<std::uint16_t>(block.ValueB);
            if (count < 1 || count > 8 || position + count > area)
                return false;
            std::uint8_t chunk[8];
            PutWord(chunk, block.ValueA);
            PutWord(chunk + 4, block.Data0);
            std::string text = m_state.owner;
            if (text.size() < position + count)
                text.resize(position + count, '\0');
            std::memcpy(text.data() + position, chunk, count);
            while (!text.empty() && text.back() == '\0')
                text.pop_back();
            m_state.owner = text;
            m_changed = true;
            block.SetCompletion(fw::kDone);
            return true;
        }
        std::uint8_t chunk[8] = {};
        std::size_t count = position < area ? std::min<std::size_t>(8, area - position) : 0;
        for (std::size_t i = 0; i < count && position + i < m_state.owner.size(); ++i)
            chunk[i] = static_cast<std::uint8_t>(m_state.owner[position + i]);
        if (const Fault* f = TakeFault(Fault::Target::OwnerCount))
            count = static_cast<std::size_t>(f->value);
        block.ValueA = Word(chunk);
        block.Data0 = Word(chunk + 4);
        block.ValueB = static_cast<std::uint32_t>(count & 0xFFFF) | static_cast<std::uint32_t>(area) << 16;
        block.SetCompletion(fw::kDone);
        return true;
    }
    default:
        return false;
    }
}

bool CFirmware::Insert(std::uint8_t* value)
{
    if (value == nullptr || TakeFault(Fault::Target::Insert))
        return false;
    *value = m_state.insertByte;
    return true;
}

bool CFirmware::Compare(const std::uint8_t* codes, int count, std::uint8_t* result)
{
    if (TakeFault(Fault::Target::Compare))
        return false;
    return Class20Result(codes, count, result);
}

} // namespace sim
