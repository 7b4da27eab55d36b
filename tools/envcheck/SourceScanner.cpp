#include "tools/envcheck/SourceScanner.h"

#include <algorithm>
#include <cctype>
#include <deque>

#include "config/StdStringUtils.h"
#include "tools/envcheck/CheckText.h"
#include "tools/envcheck/Schema.h"

namespace envcheck {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

using envsys::TrimmedLeftText;
// The parser trims only the right end of a loop line, and leaves a line of
// white space alone, as this does.
using envsys::TrimmedRightText;
using envsys::TrimmedText;

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// Names compared as the test host and the reference host find files.
std::string FileKey(const std::string& name) {
    std::string key = Lower(name);
    std::replace(key.begin(), key.end(), '\\', '/');
    while (key.size() > 2 && key.compare(0, 2, "./") == 0)
        key.erase(0, 2);
    return key;
}

// The line of byte position pos in bytes, counting CR LF as one break.
int LineOf(const std::string& bytes, size_t pos) {
    int line = 1;
    for (size_t i = 0; i < pos && i < bytes.size(); ++i) {
        // A line ends at LF, or at a CR that no LF follows.
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n'))) ++line;
    }
    return line;
}

} // namespace

void SourceScanner::Report(int file, int line, Severity severity, std::string message) {
    if (quiet_) return;
    diagnostics.push_back(Diagnostic{Location{file, line}, severity, std::move(message)});
}

bool SourceScanner::ReadAll(const std::string& name, std::string* bytes) {
    // A cycle reads the same files thousands of times; they do not change.
    auto cached = contents_.find(name);
    if (cached != contents_.end()) {
        *bytes = cached->second;
        return true;
    }
    const int32_t handle = files_->Open(name.c_str(), 0);
    if (handle == -1) return false;
    char chunk[65536];
    for (;;) {
        const int32_t n = files_->Read(handle, chunk, sizeof chunk);
        if (n <= 0) break;
        bytes->append(chunk, static_cast<size_t>(std::min<int32_t>(n, static_cast<int32_t>(sizeof chunk))));
    }
    files_->Close(handle);
    contents_[name] = *bytes;
    return true;
}

std::string SourceScanner::DisplayName(int file) const {
    if (file <= 0) return displayName_;
    return files[static_cast<size_t>(file)].name;
}

void SourceScanner::Scan(const std::string& systemName, const std::string& displayName) {
    displayName_ = displayName;
    contents_.clear();
    parsed_.clear();
    files.clear();
    sections.clear();
    diagnostics.clear();
    used_ = 0;
    cycleAt_ = Location{};
    quiet_ = false;
    // The parser loads the includes of a file after the file, depth first in
    // directive order, from one list of pending names; so does this pass,
    // cycles included, so that the sections and keys come out the same.
    std::deque<Include> pending;
    pending.push_back(Include{systemName, Location{}, -1, false});
    while (!pending.empty()) {
        const Include next = pending.front();
        pending.pop_front();
        std::vector<Include> includes;
        Load(next, &includes);
        for (auto it = includes.rbegin(); it != includes.rend(); ++it)
            pending.push_front(*it);
    }
    quiet_ = false;
}

void SourceScanner::Load(const Include& include, std::vector<Include>* includes) {
    const int index = static_cast<int>(files.size());
    const std::string& name = include.name;
    const Location includedAt = include.at;
    SourceFile file;
    file.name = name;
    file.includedAt = includedAt;
    file.parent = include.parent;
    const std::string key = FileKey(name);
    file.reread = parsed_.count(key) != 0;
    quiet_ = include.quiet;

    // A file that includes one of the files that led to it: the parser does
    // not notice and reads the loop again and again until the text buffer
    // is full. Say so once.
    if (!include.quiet) {
        std::vector<int> chain;
        for (int p = include.parent; p >= 0; p = files[static_cast<size_t>(p)].parent) {
            chain.insert(chain.begin(), p);
            if (FileKey(files[static_cast<size_t>(p)].name) != key) continue;
            std::string text;
            for (int c : chain)
                text += DisplayName(c) + " -> ";
            Report(includedAt.file, includedAt.line, Severity::Error,
                   "include cycle " + text + name +
                       ": the parser reads these files again and again until its text buffer is full, "
                       "and nothing included after this point is read");
            if (cycleAt_.file < 0) cycleAt_ = includedAt;
            file.cycle = true;
            break;
        }
    }
    files.push_back(file);

    std::string bytes;
    if (!ReadAll(name, &bytes)) {
        if (includedAt.file >= 0)
            Report(includedAt.file, includedAt.line, Severity::Error,
                   "included file " + Quoted(name) +
                       " cannot be opened (not found: include names are relative to the working directory, "
                       "not to the including file)");
        return;
    }
    SourceFile& f = files.back();
    f.opened = true;
    f.size = bytes.size();

    // One read of the buffer's free space less one byte, then the text and
    // its terminator belong to the buffer.
    const uint32_t freeSpace = used_ < kCapacity + 1 ? kCapacity + 1 - used_ : 0;
    const size_t room = freeSpace > 0 ? freeSpace - 1 : 0;
    const size_t count = std::min(bytes.size(), room);
    f.bytesRead = count;

    if (f.reread && !f.cycle && count > 0)
        Report(includedAt.file, includedAt.line, Severity::Warning,
               Quoted(name) + " was read before: it is read again, and every section in it is a duplicate "
                              "that is dropped");
    // What a second reading finds wrong was reported at the first.
    if (f.reread || f.cycle) quiet_ = true;

    if (bytes.empty()) {
        Report(index, 0, Severity::Warning, "the file is empty");
        return;
    }
    if (count == 0) {
        std::string why = "the text buffer (" + std::to_string(kCapacity) +
                          " bytes shared by the Environment File and its includes) is full";
        if (cycleAt_.file >= 0) why = "the text buffer was filled by the include cycle";
        if (includedAt.file >= 0)
            Report(includedAt.file, includedAt.line, Severity::Error, Quoted(name) + " is not read: " + why);
        return;
    }
    used_ += static_cast<uint32_t>(count) + 1;
    parsed_.insert(key);
    if (count < bytes.size()) {
        const bool cut = !IsLineBreak(bytes[count - 1]) && !IsLineBreak(bytes[count]);
        Report(index, LineOf(bytes, count), Severity::Error,
               "the text buffer (" + std::to_string(kCapacity) +
                   " bytes shared by the Environment File and its includes) is full: the text from byte " +
                   std::to_string(count) + " of " + std::to_string(bytes.size()) + " on is ignored" +
                   (cut ? ", and this line is cut short" : ""));
    }

    if (IsLineBreak(bytes[0]) || bytes[0] == '\0') {
        Report(index, 1, Severity::Error,
               std::string("the file begins with a ") + (bytes[0] == '\0' ? "NUL byte" : "line break") +
                   ": the parser reads none of it");
        return;
    }
    const size_t first = includes->size();
    Parse(index, bytes, count, includes);
    for (size_t i = first; i < includes->size(); ++i) {
        (*includes)[i].parent = index;
        (*includes)[i].quiet = quiet_;
    }
}

void SourceScanner::Parse(int fi, const std::string& bytes, size_t count, std::vector<Include>* includes) {
    enum class State { BeforeHeader, InBlock, AfterDirective, InDroppedSection };
    State state = State::BeforeHeader;
    int section = -1;       // index into sections while InBlock
    int endedBlockLine = 0; // the "#" line that ended the key block
    std::string endedSection;
    bool reportedBeforeHeader = false;

    auto handleLoopLine = [&](const std::string& raw, int line) {
        const std::string t = TrimmedRightText(raw);
        if (t[0] == '#') {
            size_t blank = 1;
            while (blank < t.size() && !IsBlank(t[blank]))
                ++blank;
            const std::string keyword = t.substr(1, blank - 1);
            if (SameName(keyword, "include")) {
                if (blank >= t.size()) {
                    Report(fi, line, Severity::Warning, "#include without a file name is ignored");
                } else {
                    // Blanks between the keyword and the name are skipped.
                    size_t from = blank + 1;
                    while (from < t.size() && IsBlank(t[from]))
                        ++from;
                    const std::string rest = t.substr(from);
                    std::string target;
                    if (!rest.empty() && rest[0] == '"') {
                        const size_t close = rest.find('"', 1);
                        target = rest.substr(1, close == std::string::npos ? std::string::npos : close - 1);
                    } else {
                        size_t e = 0;
                        while (e < rest.size() && !IsBlank(rest[e]))
                            ++e;
                        target = rest.substr(0, e);
                        if (e < rest.size() && !TrimmedText(rest.substr(e)).empty())
                            Report(fi, line, Severity::Warning,
                                   "the include name ends at the first blank: " + Quoted(target) +
                                       " is loaded; put a name with blanks in double quotes");
                    }
                    if (target.empty())
                        Report(fi, line, Severity::Warning, "#include with an empty file name is ignored");
                    else
                        includes->push_back(Include{target, Location{fi, line}, fi, false});
                }
            } else if (!keyword.empty() && NameDistance(keyword, "include") <= 2 &&
                       std::isalpha(static_cast<unsigned char>(keyword[0]))) {
                Report(fi, line, Severity::Warning,
                       "unknown directive #" + keyword + " (did you mean #include?) is ignored");
            }
            if (state == State::InBlock) {
                state = State::AfterDirective;
                endedBlockLine = line;
                endedSection = sections[static_cast<size_t>(section)].name;
            } else if (state == State::InDroppedSection) {
                state = State::AfterDirective;
                endedBlockLine = 0;
            }
            return;
        }
        if (t[0] == '[') {
            std::string name = t.substr(1);
            if (!name.empty() && name.back() == ']') {
                name.pop_back();
            } else if (name.find(']') != std::string::npos) {
                Report(fi, line, Severity::Warning,
                       "text after ']' is part of the section name: the section is named " + Quoted(name));
            } else {
                Report(fi, line, Severity::Warning, "section header without a closing ']'");
            }
            if (name.empty()) {
                Report(fi, line, Severity::Warning, "section with an empty name: its keys are never read");
            } else if (!sections.empty()) {
                for (const ScannedSection& s : sections) {
                    if (!SameName(s.name, name)) continue;
                    Report(fi, line, Severity::Warning,
                           "duplicate section [" + name + "] is dropped with all its keys; the first, at " +
                               DisplayName(s.at.file) + ":" + std::to_string(s.at.line) + ", wins");
                    state = State::InDroppedSection;
                    return;
                }
            }
            sections.push_back(ScannedSection{name, Location{fi, line}, {}, quiet_});
            section = static_cast<int>(sections.size()) - 1;
            state = State::InBlock;
            return;
        }
        const std::string lead = TrimmedLeftText(t);
        if (!lead.empty() && (lead[0] == '[' || lead[0] == '#') &&
            envsys::IsMbcSpace(static_cast<unsigned char>(t[0])) != 0) {
            Report(fi, line, Severity::Warning,
                   Quoted(lead) + " is not in the first column, so it is not a " +
                       (lead[0] == '[' ? "section header" : "directive") + "; the line is ignored");
            return;
        }
        if (state == State::BeforeHeader) {
            // Prose before the first header is a common way to introduce a
            // file; a key there is a mistake.
            if (t.find('=') != std::string::npos && lead[0] != ';') {
                Report(fi, line, Severity::Warning, "key line before the first section header is ignored");
            } else if (!lead.empty() && lead[0] != ';' && !reportedBeforeHeader) {
                Report(fi, line, Severity::Note, "text before the first section header is ignored");
                reportedBeforeHeader = true;
            }
        } else if (state == State::AfterDirective && endedBlockLine > 0 && t.find('=') != std::string::npos &&
                   lead[0] != ';') {
            Report(fi, line, Severity::Warning,
                   "key line ignored: the '#' line at line " + std::to_string(endedBlockLine) +
                       " ended the key block of [" + endedSection + "]; keys are read only up to the next '#' line" +
                       KeyTag(endedSection, TrimmedText(t.substr(0, t.find('=')))));
        }
    };

    auto handleKeyLine = [&](const std::string& raw, int line) {
        ScannedSection& sec = sections[static_cast<size_t>(section)];
        if (raw[0] == ';') return;
        const size_t eq = raw.find('=');
        if (eq == std::string::npos) {
            const std::string lead = TrimmedLeftText(raw);
            if (lead.empty()) return;
            if (lead[0] == '[' || lead[0] == '#') {
                Report(fi, line, Severity::Warning,
                       Quoted(TrimmedRightText(lead)) + " is not in the first column, so it is not a " +
                           (lead[0] == '[' ? "section header: the keys below it stay in [" + sec.name + "]"
                                           : "directive: the line is ignored"));
            } else if (lead[0] != ';') {
                Report(fi, line, Severity::Warning, "line without '=' is ignored");
            }
            return;
        }
        ScannedKey key;
        key.name = TrimmedText(raw.substr(0, eq));
        const std::string value = TrimmedText(raw.substr(eq + 1));
        // Only a line that ends at the "=" makes a key without value; blanks
        // after it make an empty one.
        key.hasValue = eq + 1 < raw.size();
        key.value = value;
        key.at = Location{fi, line};
        if (key.name.empty()) {
            Report(fi, line, Severity::Warning, "key with an empty name is never read");
        } else if (!sec.keys.empty()) {
            for (const ScannedKey& k : sec.keys) {
                if (!SameName(k.name, key.name)) continue;
                Report(fi, line, Severity::Warning,
                       "duplicate key " + key.name + " in [" + sec.name + "] is ignored; the first, at " +
                           DisplayName(k.at.file) + ":" + std::to_string(k.at.line) +
                           (k.hasValue ? " (" + k.value + ")" : "") + ", wins" + KeyTag(sec.name, key.name));
                return;
            }
        }
        sec.keys.push_back(key);
    };

    // Split into the parser's strings: CR, LF and NUL all end one.
    int line = 1;
    size_t start = 0;
    for (size_t i = 0; i <= count; ++i) {
        const bool end = i == count || bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\0';
        if (!end) continue;
        if (i > start) {
            const std::string raw = bytes.substr(start, i - start);
            if (state == State::InBlock && raw[0] != '[' && raw[0] != '#')
                handleKeyLine(raw, line);
            else
                handleLoopLine(raw, line);
        }
        if (i < count) {
            if (bytes[i] == '\n' || (bytes[i] == '\r' && !(i + 1 < count && bytes[i + 1] == '\n'))) ++line;
        }
        start = i + 1;
    }
}

const ScannedSection* SourceScanner::FindSection(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (const ScannedSection& s : sections)
        if (SameName(s.name, name)) return &s;
    return nullptr;
}

const ScannedKey* SourceScanner::FindKey(const std::string& section, const std::string& key) const {
    const ScannedSection* s = FindSection(section);
    if (s == nullptr || key.empty()) return nullptr;
    for (const ScannedKey& k : s->keys)
        if (SameName(k.name, key)) return &k;
    return nullptr;
}

std::string SourceScanner::IncludeTree() const {
    std::string out;
    for (size_t i = 0; i < files.size(); ++i) {
        // Files read again inside a cycle are summed up by the cycle's entry.
        bool insideCycle = false;
        int depth = 0;
        for (int p = files[i].parent; p >= 0; p = files[static_cast<size_t>(p)].parent) {
            ++depth;
            insideCycle = insideCycle || files[static_cast<size_t>(p)].cycle;
        }
        if (insideCycle) continue;
        out += std::string(static_cast<size_t>(depth) * 2, ' ') + DisplayName(static_cast<int>(i));
        if (files[i].includedAt.file >= 0)
            out += "  (" + DisplayName(files[i].includedAt.file) + ":" + std::to_string(files[i].includedAt.line) + ")";
        if (files[i].cycle)
            out += "  [cycle: read again until the text buffer is full]";
        else if (!files[i].opened)
            out += "  [not found]";
        else if (files[i].bytesRead == 0 && files[i].size > 0)
            out += "  [not read: the text buffer is full]";
        else if (files[i].reread)
            out += "  [read again]";
        else if (files[i].bytesRead < files[i].size)
            out += "  [" + std::to_string(files[i].bytesRead) + " of " + std::to_string(files[i].size) + " bytes read]";
        out += "\n";
    }
    return out;
}

} // namespace envcheck
