#include "ui/rowstate.h"

#include <algorithm>

using Phase = CFileRows::Row::Phase;
using State = FileFacts::State;

void CFileRows::SetPatch(std::shared_ptr<const HunkSnapshot> hunks, std::optional<FileIdentity> loaded,
                         std::shared_ptr<const std::vector<std::pair<std::uint64_t, std::uint64_t>>> spans)
{
    m_hunks = std::move(hunks);
    m_loaded = loaded;
    m_spans = std::move(spans);
}

void CFileRows::Choose(PathRow r, const std::string& path)
{
    Row& chosen = row(r);
    if (path != chosen.path) {
        chosen.facts = FileFacts();  // no file's facts stay once no row holds it
        chosen.reusable = false;
    }
    chosen.path = path;
    chosen.phase = path.empty() ? Phase::idle : Phase::waiting;
    chosen.dueAt = 0;
    chosen.showing = false;
    chosen.since.reset();
    chosen.latest.reset();
}

std::optional<ReadRequest> CFileRows::Refresh(PathRow r)
{
    Row& asked = row(r);
    if (asked.path.empty()) {
        asked.phase = Phase::idle;
        return std::nullopt;
    }
    ReadRequest request;
    request.number = NextLookNumber();
    request.path = asked.path;
    if (asked.reusable)
        request.hashedAt = asked.facts.seen;
    if (r == PathRow::source && m_hunks) {
        request.hunks = m_hunks;
        request.spans = m_spans;
        request.relationsKnown = asked.reusable && asked.facts.relationsOf == m_hunks;
    }
    asked.showing = asked.phase == Phase::known || (asked.phase == Phase::reading && asked.showing);
    asked.phase = Phase::reading;
    asked.request = request.number;
    asked.since.reset();
    return request;
}

bool CFileRows::Answer(PathRow r, std::uint64_t request, FileFacts facts, std::uint64_t now)
{
    Row& answered = row(r);
    if (answered.phase != Phase::reading || request != answered.request)
        return false;  // a newer request, or a change, made it old
    if (!answered.latest || facts.seen.number > answered.latest->number)
        answered.latest = facts.seen;
    if (facts.state == State::started)
        return !answered.showing;  // its size is known now
    answered.showing = false;
    // Changed once the reader had looked: what it read is no longer the file.
    if (answered.since && *answered.since != facts.seen) {
        answered.phase = Phase::waiting;
        answered.dueAt = now + kQuietMs;
        return true;
    }
    switch (facts.state) {
    case State::unchanged:
        if (!answered.reusable || answered.facts.seen != facts.seen) {
            // What it was compared with has gone meanwhile: read it whole.
            answered.reusable = false;
            answered.phase = Phase::waiting;
            answered.dueAt = now;
            return true;
        }
        answered.facts.seen = facts.seen;
        if (facts.relationsOf || facts.relationsFailed) {
            answered.facts.relationsOf = std::move(facts.relationsOf);
            answered.facts.relations = std::move(facts.relations);
            answered.facts.relationsFailed = facts.relationsFailed;
            answered.facts.spanBytes = std::move(facts.spanBytes);
        }
        answered.phase = Phase::known;
        return true;
    case State::hashed:
    case State::tooLarge:
        answered.facts = std::move(facts);
        answered.reusable = true;
        answered.phase = Phase::known;
        return true;
    default:
        answered.facts = std::move(facts);
        answered.reusable = false;
        answered.phase = Phase::failed;
        return true;
    }
}

bool CFileRows::Seen(const std::string& path, const PathLook& look, std::uint64_t now)
{
    bool changed = false;
    for (Row& seen : m_rows) {
        if (seen.path.empty() || seen.path != path)
            continue;
        if (!seen.latest || look.number > seen.latest->number)
            seen.latest = look;
        switch (seen.phase) {
        case Phase::waiting:
            seen.dueAt = std::max(seen.dueAt, now + kQuietMs);  // still changing: wait for quiet
            break;
        case Phase::reading:
            if (look.number < seen.request)
                break;  // looked before the read began
            if (!seen.since || look.number > seen.since->number)
                seen.since = look;
            if (seen.showing && look != seen.facts.seen) {
                seen.showing = false;
                changed = true;
            }
            break;
        case Phase::known:
        case Phase::failed:
            if (look.number < seen.facts.seen.number || look == seen.facts.seen)
                break;
            seen.phase = Phase::waiting;
            seen.dueAt = now + kQuietMs;
            changed = true;
            break;
        case Phase::idle: break;
        }
    }
    return changed;
}

std::vector<PathRow> CFileRows::Due(std::uint64_t now) const
{
    std::vector<PathRow> due;
    for (int r = 0; r < kPathRows; ++r)
        if (m_rows[r].phase == Phase::waiting && m_rows[r].dueAt <= now)
            due.push_back(static_cast<PathRow>(r));
    return due;
}

std::optional<std::uint64_t> CFileRows::NextDue() const
{
    std::optional<std::uint64_t> next;
    for (const Row& r : m_rows)
        if (r.phase == Phase::waiting && (!next || r.dueAt < *next))
            next = r.dueAt;
    return next;
}

FileView CFileRows::View(PathRow r) const
{
    const Row& shown = Get(r);
    FileView view;
    const bool known = shown.phase == Phase::known || (shown.phase == Phase::reading && shown.showing);
    if (known) {
        view.seen = FileView::Seen::known;
        view.size = shown.facts.seen.identity.size;
        view.facts = &shown.facts;
        return view;
    }
    if (shown.phase == Phase::failed) {
        const State state = shown.facts.state;
        view.seen = state == State::missing  ? FileView::Seen::missing
                    : state == State::online ? FileView::Seen::online
                                             : FileView::Seen::unreadable;
        if (shown.facts.seen.look == FileLook::found)
            view.size = shown.facts.seen.identity.size;
        return view;
    }
    view.seen = FileView::Seen::reading;
    if (shown.latest && shown.latest->look == FileLook::found)
        view.size = shown.latest->identity.size;
    return view;
}

const FileFacts* CFileRows::SourceRelations() const
{
    const FileView view = View(PathRow::source);
    if (!view.facts || !m_hunks || !ReadWhole(*view.facts) || view.facts->relationsOf != m_hunks ||
        view.facts->relationsFailed)
        return nullptr;
    return view.facts;
}

bool CFileRows::SourceSilent() const
{
    const FileView view = View(PathRow::source);
    if (Get(PathRow::source).path.empty())
        return true;
    if (view.seen == FileView::Seen::known)
        return view.facts->relationsFailed && view.facts->relationsOf == m_hunks;
    return view.seen != FileView::Seen::reading;
}

bool CFileRows::PatchReplaced() const
{
    const Row& patch = Get(PathRow::patch);
    if (!m_loaded || (patch.phase != Phase::known && patch.phase != Phase::failed))
        return false;
    return patch.facts.seen.look != FileLook::found || patch.facts.seen.identity != *m_loaded;
}
