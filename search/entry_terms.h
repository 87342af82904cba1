#pragma once

// The terms of one entry's text, made as the Xapian term generator makes them (words in lower
// case with their positions, Korean as single syllables with positions and pairs without), but
// faster for the words most text is made of: a run of Hangul syllables or of ASCII letters and
// digits, with punctuation at its edges, is read here and its terms counted before they go into
// the document once each. Every other stretch of text is left to the generator itself, so the
// document ends up with exactly the terms, frequencies and positions the generator alone would give.
#include <QString>

#include <xapian.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tk::search {

class EntryTerms final {
  public:
    // Adds to generator's document, from generator's term position on; without positions, only
    // the terms and their frequencies (an index that checks phrases on the text itself).
    explicit EntryTerms(Xapian::TermGenerator& generator, bool withPositions = true);
    EntryTerms(const EntryTerms&) = delete;
    EntryTerms& operator=(const EntryTerms&) = delete;

    // As generator.index_text(text).
    void addText(const QString& text);
    // As generator.increase_termpos(gap).
    void skip(Xapian::termpos gap) { position_ += gap; }
    // Puts the counted terms into the document and leaves the generator at the position reached.
    void finish();

  private:
    struct Count {
        Xapian::termcount wdf = 0;
        std::vector<Xapian::termpos> positions;
    };
    // A single syllable or a pair in the open-addressed table of them.
    struct Slot {
        char32_t key = 0;  // its sort key plus one; 0 for a free slot
        Xapian::termcount wdf = 0;
        uint32_t firstPosition = 0;  // where its positions begin, once finish() has placed them
    };
    void addSyllables(const QChar* begin, const QChar* end);
    void addAsciiWord(const QChar* begin, const QChar* end);
    void addOther(const QChar* begin, const QChar* end);
    uint32_t slotFor(char32_t key);
    void grow();
    void finishSyllables(Xapian::Document& document);

    Xapian::TermGenerator& generator_;
    bool withPositions_;
    Xapian::termpos position_;
    // Single syllables and pairs, by a key that sorts as their terms do; the positions of single
    // syllables in the order they came, with their slots.
    std::vector<Slot> slots_;
    uint32_t used_ = 0;
    std::vector<std::pair<uint32_t, Xapian::termpos>> syllablePositions_;
    std::unordered_map<std::string, Count> words_;
    std::string word_;
};

}  // namespace tk::search
