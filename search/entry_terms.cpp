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

EntryTerms::EntryTerms(Xapian::TermGenerator& generator) : generator_(generator), position_(generator.get_termpos()) {}

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
        Count& single = hangul_[syllable * kKeysPerSyllable];
        ++single.wdf;
        single.positions.push_back(++position_);
        if (p + 1 != end) {
            ++hangul_[syllable * kKeysPerSyllable + 1 + (p[1].unicode() - kFirstSyllable)].wdf;
        }
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
    generator_.index_text(Xapian::Utf8Iterator(bytes.constData(), static_cast<size_t>(bytes.size())));
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
        addCounted(document, word->first, word->second.wdf, word->second.positions);
    }
    std::vector<char32_t> keys;
    keys.reserve(hangul_.size());
    for (const auto& [key, count] : hangul_) {
        keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    std::string term;
    for (const char32_t key : keys) {
        term.clear();
        appendSyllable(term, key / kKeysPerSyllable);
        if (key % kKeysPerSyllable != 0) {
            appendSyllable(term, key % kKeysPerSyllable - 1);
        }
        const Count& count = hangul_[key];
        addCounted(document, term, count.wdf, count.positions);
    }
    hangul_.clear();
    words_.clear();
    generator_.set_termpos(position_);
}

}  // namespace tk::search
