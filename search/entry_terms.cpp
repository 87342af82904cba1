#include "search/entry_terms.h"

#include <QByteArray>
#include <QStringView>

#include <algorithm>

namespace tk::search {
namespace {

constexpr char16_t kFirstSyllable = 0xAC00;
constexpr char32_t kSyllables = 11172;
// A syllable's key is its index from U+AC00 times this; a pair's, the first one's key plus one plus
// the second's index. Keys sort as the terms' UTF-8 bytes do.
constexpr char32_t kKeysPerSyllable = kSyllables + 1;
// The generator leaves out longer words, and they take no position.
constexpr qsizetype kMaxWordBytes = 64;

bool isSyllable(QChar c) {
    return c.unicode() >= kFirstSyllable && c.unicode() < kFirstSyllable + kSyllables;
}

bool isAsciiLetterOrDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

// ASCII spacing: no word, Korean run, acronym or joined word ("AT&T", "3.14") reaches across it.
// Other spaces are left to the generator, which takes some of them for CJK characters.
bool isSeparator(QChar c) {
    const char16_t u = c.unicode();
    return u == ' ' || (u >= '\t' && u <= '\r');
}

// ASCII punctuation the generator only skips when it stands at the edge of a word: '_' belongs to
// words, and '+' or '#' after one is kept with it ("c++", "c#").
bool isEdge(QChar c) {
    const char16_t u = c.unicode();
    return u > ' ' && u < 0x7f && !isAsciiLetterOrDigit(c) && u != '_' && u != '+' && u != '#';
}

// The lowest character the generator may take for a CJK one.
constexpr char16_t kFirstMaybeCjk = 0x1100;

// A stretch of text between ASCII spaces, as read here: a word of syllables or of ASCII letters
// and digits (core to coreEnd) with nothing but edge punctuation around it, punctuation alone, or
// other text, left to the generator.
struct Chunk {
    enum Type { Syllables, Ascii, Punctuation, Other } type;
    const QChar* core;
    const QChar* coreEnd;
};

Chunk classify(const QChar* begin, const QChar* end) {
    const QChar* core = begin;
    while (core != end && isEdge(*core)) {
        ++core;
    }
    if (core == end) {
        return {Chunk::Punctuation, core, core};
    }
    const bool syllables = isSyllable(*core);
    const bool ascii = isAsciiLetterOrDigit(*core);
    const QChar* coreEnd = core;
    while (coreEnd != end && ((syllables && isSyllable(*coreEnd)) || (ascii && isAsciiLetterOrDigit(*coreEnd)))) {
        ++coreEnd;
    }
    const QChar* tail = coreEnd;
    while (tail != end && isEdge(*tail)) {
        ++tail;
    }
    if (coreEnd == core || tail != end) {
        return {Chunk::Other, core, coreEnd};
    }
    return {syllables ? Chunk::Syllables : Chunk::Ascii, core, coreEnd};
}

void appendSyllable(std::string& term, char32_t index) {
    const char32_t c = kFirstSyllable + index;
    term += static_cast<char>(0xE0 | (c >> 12));
    term += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    term += static_cast<char>(0x80 | (c & 0x3F));
}

void addCounted(Xapian::Document& document, const std::string& term, Xapian::termcount wdf,
                const std::vector<Xapian::termpos>& positions) {
    if (positions.empty()) {
        document.add_term(term, wdf);
        return;
    }
    for (const Xapian::termpos position : positions) {
        document.add_posting(term, position);
    }
}

}  // namespace

EntryTerms::EntryTerms(Xapian::TermGenerator& generator, bool withPositions)
    : generator_(generator), withPositions_(withPositions), position_(generator.get_termpos()) {}

void EntryTerms::addText(const QString& text) {
    const QChar* const end = text.constData() + text.size();
    // Text for the generator, not given to it yet. After a CJK character the generator may carry
    // a word on into the next stretch of text, across spaces ("r'인 4" gives "r'4"; the first word
    // after a Korean run is never read as an acronym), so while the text may end so (open), what
    // follows goes to the generator with it, up to the next word that ends that state.
    const QChar* other = nullptr;
    bool open = false;
    // The last run of syllables, held back: text for the generator right after it goes there with it.
    const QChar* korean = nullptr;
    const QChar* koreanCore = nullptr;
    const QChar* koreanEnd = nullptr;
    const QChar* p = text.constData();
    while (p != end) {
        if (isSeparator(*p)) {
            ++p;
            continue;
        }
        const QChar* const chunk = p;
        while (p != end && !isSeparator(*p)) {
            ++p;
        }
        const Chunk kind = classify(chunk, p);
        if (kind.type == Chunk::Punctuation) {
            continue;  // makes no term and leaves the generator as it was
        }
        if (kind.type == Chunk::Other) {
            if (!other) {
                other = korean ? korean : chunk;
                korean = nullptr;
            }
            // A word in it ends that state, unless a CJK character may follow; without a word it
            // stays as it was.
            open = std::any_of(chunk, p, [](QChar c) { return c.unicode() >= kFirstMaybeCjk; }) ||
                   (open && std::none_of(chunk, p, isAsciiLetterOrDigit));
            continue;
        }
        if (other && open) {
            open = kind.type == Chunk::Syllables;
            continue;
        }
        if (other) {
            addOther(other, chunk);
            other = nullptr;
        }
        if (korean) {
            addSyllables(koreanCore, koreanEnd);
            korean = nullptr;
        }
        if (kind.type == Chunk::Syllables) {
            korean = chunk;
            koreanCore = kind.core;
            koreanEnd = kind.coreEnd;
        } else {
            addAsciiWord(kind.core, kind.coreEnd);
        }
    }
    if (other) {
        addOther(other, end);
    }
    if (korean) {
        addSyllables(koreanCore, koreanEnd);
    }
}

void EntryTerms::addSyllables(const QChar* begin, const QChar* end) {
    for (const QChar* p = begin; p != end; ++p) {
        const char32_t syllable = p->unicode() - kFirstSyllable;
        const uint32_t single = slotFor(syllable * kKeysPerSyllable);
        ++slots_[single].wdf;
        syllablePositions_.emplace_back(single, ++position_);
        if (p + 1 != end) {
            ++slots_[slotFor(syllable * kKeysPerSyllable + 1 + (p[1].unicode() - kFirstSyllable))].wdf;
        }
    }
}

uint32_t EntryTerms::slotFor(char32_t key) {
    if (2 * (used_ + 1) > slots_.size()) {
        grow();
    }
    const uint32_t mask = static_cast<uint32_t>(slots_.size()) - 1;
    for (uint32_t i = (key * 0x9E3779B1u) >> 7 & mask;; i = (i + 1) & mask) {
        if (slots_[i].key == key + 1) {
            return i;
        }
        if (slots_[i].key == 0) {
            slots_[i].key = key + 1;
            ++used_;
            return i;
        }
    }
}

// Doubles the table; positions already noted keep pointing at their slots' new places.
void EntryTerms::grow() {
    std::vector<Slot> old(std::max<size_t>(1024, slots_.size() * 2));
    old.swap(slots_);
    std::vector<uint32_t> moved(old.size());
    used_ = 0;
    for (uint32_t i = 0; i < old.size(); ++i) {
        if (old[i].key != 0) {
            moved[i] = slotFor(old[i].key - 1);
            slots_[moved[i]].wdf = old[i].wdf;
        }
    }
    for (auto& [slot, position] : syllablePositions_) {
        slot = moved[slot];
    }
}

void EntryTerms::addAsciiWord(const QChar* begin, const QChar* end) {
    if (end - begin > kMaxWordBytes) {
        return;
    }
    word_.clear();
    for (const QChar* p = begin; p != end; ++p) {
        const char16_t u = p->unicode();
        word_ += static_cast<char>(u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u);
    }
    Count& count = words_[word_];
    ++count.wdf;
    count.positions.push_back(++position_);
}

void EntryTerms::addOther(const QChar* begin, const QChar* end) {
    const QByteArray bytes = QStringView(begin, end).toUtf8();
    generator_.set_termpos(position_);
    const Xapian::Utf8Iterator text(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (withPositions_) {
        generator_.index_text(text);
    } else {
        generator_.index_text_without_positions(text);
    }
    position_ = generator_.get_termpos();
}

void EntryTerms::finish() {
    // Terms go in in their order (ASCII words first, then syllables), which the document's term
    // map takes in markedly less time than any other order.
    Xapian::Document document = generator_.get_document();
    std::vector<const std::pair<const std::string, Count>*> words;
    words.reserve(words_.size());
    for (const auto& word : words_) {
        words.push_back(&word);
    }
    std::sort(words.begin(), words.end(), [](auto* a, auto* b) { return a->first < b->first; });
    for (const auto* word : words) {
        if (withPositions_) {
            addCounted(document, word->first, word->second.wdf, word->second.positions);
        } else {
            document.add_term(word->first, word->second.wdf);
        }
    }
    finishSyllables(document);
    words_.clear();
    generator_.set_termpos(position_);
}

// Places each single syllable's positions together, in order, then puts every syllable and pair
// into the document in the order of their terms.
void EntryTerms::finishSyllables(Xapian::Document& document) {
    std::vector<uint32_t> order;
    order.reserve(used_);
    for (uint32_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].key != 0) {
            order.push_back(i);
        }
    }
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return slots_[a].key < slots_[b].key; });
    uint32_t next = 0;
    for (const uint32_t i : order) {
        if ((slots_[i].key - 1) % kKeysPerSyllable == 0) {
            slots_[i].firstPosition = next;
            next += slots_[i].wdf;
        }
    }
    std::vector<Xapian::termpos> positions(next);
    std::vector<uint32_t> placed(slots_.size());
    for (const auto& [slot, position] : syllablePositions_) {
        positions[slots_[slot].firstPosition + placed[slot]++] = position;
    }
    std::string term;
    for (const uint32_t i : order) {
        const Slot& slot = slots_[i];
        const char32_t key = slot.key - 1;
        term.clear();
        appendSyllable(term, key / kKeysPerSyllable);
        if (key % kKeysPerSyllable != 0) {
            appendSyllable(term, key % kKeysPerSyllable - 1);
            document.add_term(term, slot.wdf);
            continue;
        }
        if (!withPositions_) {
            document.add_term(term, slot.wdf);
            continue;
        }
        for (uint32_t p = slot.firstPosition; p != slot.firstPosition + slot.wdf; ++p) {
            document.add_posting(term, positions[p]);
        }
    }
    slots_.clear();
    used_ = 0;
    syllablePositions_.clear();
}

}  // namespace tk::search
