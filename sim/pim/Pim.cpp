#include "sim/pim/Pim.h"

#include "sim/radio/Stack.h"
#include "sim/world/Utf16.h"
#include "sim/world/Words.h"

#include <algorithm>
#include <cstring>

namespace kobalt::sim {
namespace {

// The two-call protocol over records held in one vector: byte copies, since the console's
// buffer is only known to hold records back to back (310-byte records are 2-byte aligned).
template <class Record>
ResultCode Serve(const std::vector<Record>* held, void* records, uint32_t* count) {
    const std::size_t size = held == nullptr ? 0 : held->size();
    if (records == nullptr) {
        *count = static_cast<uint32_t>(size);
        return kOk;
    }
    const std::size_t filled = std::min<std::size_t>(*count, size);
    if (filled > 0) {
        std::memcpy(records, held->data(), filled * sizeof(Record));
    }
    *count = static_cast<uint32_t>(filled);
    return kOk;
}

} // namespace

Pim::Pim(Stack& stack, StepTimer& timer, const CallHistory& history)
    : m_stack(stack), m_timer(timer), m_history(history),
      m_phonebook(std::make_shared<Contacts>()) {}

void Pim::SetWorld(PimWorld world) {
    std::lock_guard lock(m_mutex);
    m_phonebook = std::make_shared<Contacts>(std::move(world.contacts));
    m_calllogs = std::move(world.calllogs);
}

// Downloads

PimDownload Pim::DownloadLocked(uint64_t session) {
    if (m_download != PimDownload::Idle && m_session != session) {
        m_download = PimDownload::Idle; // the stack stopped since; its run's work is over
    }
    return m_download;
}

void Pim::PostLocked(uint64_t session, int32_t code) {
    m_stack.PostPimEvent(session, code);
}

ResultCode Pim::CheckStartLocked(uint64_t session, Request request) {
    if (m_injected) {
        PostLocked(session, *m_injected);
        m_injected.reset();
        return kErrInjected;
    }
    if (request == Request::Invalid) {
        PostLocked(session, KOBALT_PARAM_INVALID);
        return kErrBadArgument;
    }
    if (!m_stack.HfConnected()) {
        PostLocked(session, KOBALT_NO_CONN);
        return kErrNotConnected;
    }
    return kOk;
}

ResultCode Pim::StartUpdateContacts(int what) {
    std::lock_guard lock(m_mutex);
    const uint64_t session = m_stack.Session();
    if (session == 0) {
        return kErrNotInitialised;
    }
    if (const ResultCode check =
            CheckStartLocked(session, what == 0 ? Request::Valid : Request::Invalid);
        check != kOk) {
        return check;
    }
    return ApplyLocked(session, PimInput::StartContacts, CalllogType::Incoming);
}

ResultCode Pim::StartUpdateCalllog(int type) {
    std::lock_guard lock(m_mutex);
    const uint64_t session = m_stack.Session();
    if (session == 0) {
        return kErrNotInitialised;
    }
    const bool bad = type < 0 || type >= static_cast<int>(kCalllogTypes);
    if (const ResultCode check = CheckStartLocked(session, bad ? Request::Invalid : Request::Valid);
        check != kOk) {
        return check;
    }
    return ApplyLocked(session, PimInput::StartCalllog,
                       bad ? CalllogType::Incoming : static_cast<CalllogType>(type));
}

ResultCode Pim::StopUpdate() {
    std::lock_guard lock(m_mutex);
    const uint64_t session = m_stack.Session();
    if (session == 0) {
        return kErrNotInitialised;
    }
    return ApplyLocked(session, PimInput::Stop, CalllogType::Incoming);
}

ResultCode Pim::ApplyLocked(uint64_t session, PimInput input, CalllogType type) {
    const PimStep step = NextPimStep(DownloadLocked(session), input);
    m_download = step.next;
    if (step.next == PimDownload::Idle) {
        m_sendingContacts.reset();
        m_sendingLog.reset();
    }
    std::chrono::milliseconds delay{};
    switch (step.effect) {
    case PimEffect::None:
        break;
    case PimEffect::ScheduleContacts:
        m_sendingContacts = m_phonebook;
        delay = kContactsBaseDelay +
                kContactsPerRecordDelay * static_cast<long>(m_sendingContacts->size());
        break;
    case PimEffect::ScheduleCalllog:
        m_sendingType = type;
        m_sendingLog = std::make_shared<const std::vector<CalllogRecord>>(BuildCalllog(
            type, m_calllogs[static_cast<std::size_t>(type)], m_history.Records(), *m_phonebook));
        delay =
            kCalllogBaseDelay + kCalllogPerRecordDelay * static_cast<long>(m_sendingLog->size());
        break;
    case PimEffect::ReportContacts:
        PostLocked(session, KOBALT_PIM_CONTACTS_DONE);
        break;
    case PimEffect::ReportCalllog:
        PostLocked(session, KOBALT_PIM_CALLLOG_DONE);
        break;
    case PimEffect::ReportBusy:
        PostLocked(session, KOBALT_CALL_ALREADYEXIST);
        break;
    case PimEffect::ReportFail:
        PostLocked(session, KOBALT_PIM_FAIL);
        break;
    }
    if (step.effect == PimEffect::ScheduleContacts || step.effect == PimEffect::ScheduleCalllog) {
        m_session = session;
        const uint64_t attempt = ++m_attempt; // a replaced download's answer finds a new tag
        m_timer.After(delay, [this, attempt] { PhoneAnswers(attempt); });
    }
    return step.result;
}

void Pim::PhoneAnswers(uint64_t attempt) {
    std::lock_guard lock(m_mutex);
    if (attempt != m_attempt || m_download == PimDownload::Idle) {
        return; // stopped or replaced
    }
    const uint64_t session = m_session;
    if (m_stack.Session() != session) {
        m_download = PimDownload::Idle;
        return;
    }
    if (!m_stack.HfConnected()) {
        ApplyLocked(session, PimInput::PhoneFails, CalllogType::Incoming);
        return;
    }
    // Held before the step, which forgets what the phone sent.
    if (m_download == PimDownload::PhoneSendingContacts) {
        m_heldContacts = m_sendingContacts;
    } else {
        m_heldLog = m_sendingLog;
    }
    ApplyLocked(session, PimInput::PhoneFinished, CalllogType::Incoming);
}

// Records

ResultCode Pim::GetContacts(void* records, uint32_t* count) const {
    std::shared_ptr<const Contacts> held;
    {
        std::lock_guard lock(m_mutex);
        if (m_stack.Session() == 0) {
            return kErrNotInitialised;
        }
        if (count == nullptr) {
            return kErrBadArgument;
        }
        held = m_heldContacts;
    }
    return Serve(held.get(), records, count);
}

ResultCode Pim::GetOppContacts(void* records, uint32_t* count) const {
    std::lock_guard lock(m_mutex); // pushed contacts are few
    if (m_stack.Session() == 0) {
        return kErrNotInitialised;
    }
    if (count == nullptr) {
        return kErrBadArgument;
    }
    return Serve(&m_pushed, records, count);
}

ResultCode Pim::GetCalllogs(void* records, uint32_t* count) const {
    std::shared_ptr<const std::vector<CalllogRecord>> held;
    {
        std::lock_guard lock(m_mutex);
        if (m_stack.Session() == 0) {
            return kErrNotInitialised;
        }
        if (count == nullptr) {
            return kErrBadArgument;
        }
        held = m_heldLog;
    }
    return Serve(held.get(), records, count);
}

// The phone's side

Pim::Contacts& Pim::EditPhonebookLocked() {
    // Other owners are downloads, which keep what the phone sent; copies of them are made only
    // under m_mutex, so a count of 1 cannot grow meanwhile.
    if (m_phonebook.use_count() > 1) {
        m_phonebook = std::make_shared<Contacts>(*m_phonebook);
    }
    return *m_phonebook;
}

Status Pim::AddContact(const ContactFields& fields, std::vector<std::string>& notes) {
    const Result<ContactRecord> record = MakeContactRecord(fields, notes);
    if (!record.Ok()) {
        return record.Error();
    }
    std::lock_guard lock(m_mutex);
    if (m_phonebook->size() >= kMaxPhonebook) {
        return Status::Error("the phonebook is full (" + std::to_string(kMaxPhonebook) +
                             " contacts)");
    }
    EditPhonebookLocked().push_back(*record);
    return {};
}

Status Pim::RemoveAllContacts() {
    std::lock_guard lock(m_mutex);
    m_phonebook = std::make_shared<Contacts>();
    return {};
}

Status Pim::RemovePushedContacts() {
    std::lock_guard lock(m_mutex);
    m_pushed.clear();
    m_pushedLines.clear();
    return {};
}

Status Pim::GenerateContacts(std::size_t count) {
    if (count == 0 || count > kMaxGenerated) {
        return Status::Error("count must be 1 to " + std::to_string(kMaxGenerated));
    }
    std::lock_guard lock(m_mutex);
    if (m_phonebook->size() + count > kMaxPhonebook) {
        return Status::Error("the phonebook would exceed " + std::to_string(kMaxPhonebook) +
                             " contacts");
    }
    Contacts& phonebook = EditPhonebookLocked();
    const std::vector<ContactRecord> generated =
        kobalt::sim::GenerateContacts(phonebook.size() + 1, count);
    phonebook.insert(phonebook.end(), generated.begin(), generated.end());
    return {};
}

Status Pim::PushContact(const std::string& name, const std::vector<std::string>& numbers,
                        std::vector<std::string>& notes) {
    const Result<OppContactRecord> record = MakeOppContactRecord(name, numbers, notes);
    if (!record.Ok()) {
        return record.Error();
    }
    std::string line = "pushed " + QuoteText(name);
    for (const std::string& number : numbers) {
        line += " " + QuoteIfNeeded(number);
    }
    std::lock_guard lock(m_mutex);
    if (m_pushed.size() >= kMaxPushed) {
        return Status::Error("the phone holds " + std::to_string(kMaxPushed) +
                             " pushed contacts already");
    }
    m_pushed.push_back(*record);
    m_pushedLines.push_back(std::move(line));
    PostLocked(m_stack.Session(), KOBALT_PIM_OPP_CONTACTS);
    return {};
}

Status Pim::FailNext(int code) {
    if (code != KOBALT_PIM_FAIL && code != KOBALT_PARAM_INVALID && code != KOBALT_NO_CONN &&
        code != KOBALT_CALL_ALREADYEXIST) {
        return Status::Error("the code must be 2, 10, 11 or 12");
    }
    std::lock_guard lock(m_mutex);
    m_injected = code;
    return {};
}

Status Pim::AddCalllog(CalllogType type, const std::string& name, const std::string& number) {
    if (!Utf8ToUtf16(name) || !Utf8ToUtf16(number)) {
        return Status::Error("the name and the number must be valid UTF-8");
    }
    std::lock_guard lock(m_mutex);
    std::vector<CalllogEntry>& log = m_calllogs[static_cast<std::size_t>(type)];
    const auto now = std::chrono::system_clock::now();
    log.push_back({name, number, now});
    return {};
}

Status Pim::ClearCalllogs() {
    std::lock_guard lock(m_mutex);
    m_calllogs = {};
    return {};
}

// Reports

std::size_t Pim::CalllogSizeLocked(CalllogType type) const {
    std::size_t size = m_calllogs[static_cast<std::size_t>(type)].size();
    for (const CallRecord& call : m_history.Records()) {
        size += CalllogTypeOf(call.kind) == type ? 1 : 0;
    }
    return size;
}

std::vector<std::string> Pim::StateLines() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    lines.push_back("phonebook " + std::to_string(m_phonebook->size()));
    lines.push_back("pushed-contacts " + std::to_string(m_pushed.size()));
    lines.insert(lines.end(), m_pushedLines.begin(), m_pushedLines.end());
    for (std::size_t i = 0; i < kCalllogTypes; ++i) {
        const auto type = static_cast<CalllogType>(i);
        lines.push_back("calllog " + std::string(CalllogTypeName(type)) + " " +
                        std::to_string(CalllogSizeLocked(type)));
    }
    PimDownload download = m_download;
    if (download != PimDownload::Idle && m_stack.Session() != m_session) {
        download = PimDownload::Idle;
    }
    switch (download) {
    case PimDownload::Idle:
        lines.push_back("pim idle");
        break;
    case PimDownload::PhoneSendingContacts:
        lines.push_back("pim downloading contacts");
        break;
    case PimDownload::PhoneSendingCalllog:
        lines.push_back("pim downloading calllog " + std::string(CalllogTypeName(m_sendingType)));
        break;
    }
    if (m_injected) {
        lines.push_back("pim-fail " + std::to_string(*m_injected));
    }
    return lines;
}

std::optional<std::string> Pim::MemoryNumber(std::size_t location) const {
    std::lock_guard lock(m_mutex);
    if (location == 0 || m_phonebook == nullptr || location > m_phonebook->size()) {
        return std::nullopt;
    }
    const ContactRecord& contact = (*m_phonebook)[location - 1];
    // Each field is read up to its terminator, never past its array.
    const auto text = [](const auto& field) {
        const auto* end = std::find(std::begin(field), std::end(field), u'\0');
        return std::u16string_view(std::begin(field), static_cast<std::size_t>(end - field));
    };
    for (const std::u16string_view units :
         {text(contact.cell), text(contact.home), text(contact.work)}) {
        if (!units.empty()) {
            return common::Utf16ToUtf8(units);
        }
    }
    return std::nullopt;
}

} // namespace kobalt::sim
