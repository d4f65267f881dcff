#include "converter/modStreamConvert.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstring>

#include "convert/modTextRoutines.h"
#include "convert/modUtf8.h"
#include "converter/modSystem.h"

namespace litvorot {

namespace {

StreamConverter::Simd gSimdLimit = StreamConverter::Simd::kAvx512;

// A table of 128 as the AVX2 loops look it up: in steps of 16, each the XOR of its part and the
// part before it.
void Steps(const unsigned char* table, unsigned char* steps) {
    for (std::size_t n = 0; n < 128; ++n) {
        steps[n] = static_cast<unsigned char>(table[n] ^ (n < 16 ? 0 : table[n - 16]));
    }
}

}  // namespace

StreamConverter::Simd StreamConverter::BestSimd() {
    // The block loops are built only for x86-64 with g++ or clang (see LITVOROT_AVX2).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    const os::VectorFeatures features = os::ProcessorVectors();
    if (features.avx512vbmi2 && features.avx512bw) return Simd::kAvx512;
    if (features.avx2) return Simd::kAvx2;
#endif
    return Simd::kNone;
}

void StreamConverter::LimitSimd(Simd most) { gSimdLimit = most; }

bool StreamConverter::Handles(const ConvertOptions& options) {
    return IsValidFormat(options.from) && IsValidFormat(options.to);
}

StreamConverter::StreamConverter(const ConvertOptions& options)
    : bytesIn_(options.bytesIn), bytesOut_(options.bytesOut) {
    if (options.from == kTranslit && options.to != kTranslit) {
        reader_.emplace(options.to);
        // The reader writes at most one character for each it reads, which is one input byte or
        // more, and a character takes at most three bytes of UTF-8 (one of two units, four).
        growth_ = bytesOut_ ? 1 : 3;
        // Input as bytes holds no character above U+00FF, so only a letter can be no byte.
        const LetterWriter writer(options.to);
        bool wideLetter = false;
        for (LetterIndex i = 1; i <= kLetterCount; ++i) wideLetter |= writer.First(i) > 0xFF;
        cannotFail_ = bytesIn_ && !(bytesOut_ && wideLetter);
        onlyMalformed_ = !bytesIn_ && !bytesOut_;
        return;
    }
    // Each character as the whole-text conversion writes it: a letter of the source in the
    // destination's form, anything else as it is.
    const LetterIndex* const map =
        options.from == options.to ? nullptr : CodeIndexMap(options.from);
    const LetterWriter writer(options.to);
    bool anyWide = false;
    for (std::size_t c = 1; c < kTableSize; ++c) {
        char16_t units[4] = {static_cast<char16_t>(c)};
        std::size_t count = 1;
        if (map != nullptr && c < kCodeIndexSize && map[c] != 0) {
            count = static_cast<std::size_t>(writer.Write(map[c], units) - units);
        }
        Form& form = forms_[c];
        for (std::size_t k = 0; k < count; ++k) {
            const char16_t unit = units[k];
            if (bytesOut_ && unit > 0xFF) {
                form.wide = true;
                form.unit = unit;
                break;
            }
            std::uint8_t encoded[U8_MAX_LENGTH];
            std::int32_t length = 0;
            if (bytesOut_) {
                encoded[length++] = static_cast<std::uint8_t>(unit);
            } else {
                U8_APPEND_UNSAFE(encoded, length, unit);
            }
            std::memcpy(form.bytes + form.length, encoded, static_cast<std::size_t>(length));
            form.length = static_cast<std::uint8_t>(form.length + length);
        }
        // How many output bytes a character may take for each byte it takes in: one byte in
        // for every character as bytes, otherwise its UTF-8 length (past the table: 3 or 4
        // bytes kept as they are, or no byte).
        const std::size_t in = bytesIn_ ? 1 : c < 0x80 ? 1 : 2;
        if (!bytesIn_ || c <= 0xFF) {
            growth_ = std::max<std::size_t>(growth_, (form.length + in - 1) / in);
        }
        // Only the characters the input can hold matter for whether it can fail.
        anyWide |= form.wide && (!bytesIn_ || c <= 0xFF);
        if (c < 0x80) asciiKept_ &= !form.wide && form.length == 1 && form.bytes[0] == char(c);
        if (c <= 0xFF) {
            oneByte_ &= form.wide || form.length == 1;
            byteOf_[c] = static_cast<unsigned char>(form.bytes[0]);
            wideOf_[c] = form.wide ? 1 : 0;
        }
    }
    for (std::size_t n = 0; n < 128; ++n) {
        const Form& form = forms_[0x400 + n];
        const bool single = !form.wide && form.length == 1 && form.bytes[0] != 0;
        cyrillic_[n] = single ? static_cast<unsigned char>(form.bytes[0]) : 0;
    }
    simd_ = std::min(BestSimd(), gSimdLimit);
    cyrillicBlocks_ = simd_ != Simd::kNone && bytesOut_ && !bytesIn_ && asciiKept_;
    // The AVX2 loop looks up U+0400..U+045F only: the letters past them must have no byte.
    if (simd_ == Simd::kAvx2) {
        cyrillicBlocks_ &=
            std::all_of(cyrillic_ + 96, cyrillic_ + 128, [](unsigned char b) { return b == 0; });
    }
    // The AVX2 byte loop stops at a byte that becomes NUL, which must then be one that becomes
    // no byte (NUL itself ends the text before the loop sees it).
    unsigned char byteOrNul[256];
    byteBlocks_ = bytesIn_ && oneByte_ && simd_ != Simd::kNone;
    for (std::size_t b = 0; b < 256; ++b) {
        byteOrNul[b] = wideOf_[b] != 0 ? 0 : byteOf_[b];
        if (b != 0 && wideOf_[b] == 0 && byteOf_[b] == 0) byteBlocks_ = false;
    }
    Steps(byteOrNul, lowSteps_);
    Steps(byteOrNul + 128, highSteps_);
    // Bytes in can only fail on a character that is no byte; UTF-8 in, on malformed UTF-8 too.
    cannotFail_ = bytesIn_ && !anyWide;
    onlyMalformed_ = !bytesIn_ && !anyWide;
}

bool StreamConverter::CheckOnly() {
    if (state_ != State::kConverting || !onlyMalformed_) return false;
    state_ = State::kChecking;
    return true;
}

void StreamConverter::Reset() {
    if (reader_) reader_->Reset();
    units_.clear();
    started_ = false;
    writing_ = false;
    spacesHeld_ = 0;
    spacesAtEnd_ = 0;
    read_.clear();
    state_ = State::kConverting;
    offset_ = 0;
    written_ = 0;
    invalid_ = 0;
    hasInvalid_ = false;
    hasWide_ = false;
    wideUnit_ = 0;
    widePosition_ = 0;
}

void StreamConverter::NoByte(char16_t unit, std::size_t before) {
    hasWide_ = true;
    wideUnit_ = unit;
    widePosition_ = written_ + before + 1;
}

namespace {

constexpr std::uint64_t kHigh = 0x8080808080808080u;
constexpr std::uint64_t kLow = 0x0101010101010101u;

// Eight bytes that are ASCII and none of them NUL.
inline bool PlainAscii(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return ((word | ((word - kLow) & ~word)) & kHigh) == 0;
}

// Decodes the character of several bytes at in[i]: its length, or 0 for malformed UTF-8. Kept out
// of the character loops, which it would otherwise crowd (Unicode -> Translit measured about a
// tenth faster so).
#if defined(__GNUC__) || defined(__clang__)
#define LITVOROT_OUT_OF_LINE __attribute__((noinline))
#else
#define LITVOROT_OUT_OF_LINE
#endif
LITVOROT_OUT_OF_LINE std::size_t DecodeAt(const unsigned char* in, std::size_t i, std::size_t size,
                                          UChar32& c) {
    const Utf8Char next = NextUtf8Char(in + i, size - i);
    c = static_cast<UChar32>(next.c);
    return next.valid ? next.length : 0;
}

// Where a piece may be cut without cutting a character: before the last byte of its final four
// that can start a character of several bytes, if there is one.
std::size_t SafeEnd(std::string_view piece) {
    const std::size_t size = piece.size();
    for (std::size_t back = 1; back <= 4 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(piece[size - back]);
        if (byte >= 0xC0) return size - back;
        if (byte < 0x80) return size;
    }
    return size;
}

}  // namespace

namespace {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#if defined(__GNUC__) && !defined(__clang__)
// g++ 12 takes the undefined vector inside _mm512_permutexvar_epi8 for an uninitialised value.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define LITVOROT_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2")))

// 64 bytes at a time: a block converts here when it holds only ASCII other than NUL and pairs
// D0/D1 + continuation byte (U+0400..U+047F), each pair becoming one byte
// other than 0. Anything else is left to the character loop.
LITVOROT_AVX512 std::size_t CyrillicBlocks(const unsigned char* in, std::size_t size, char*& out,
                                           const unsigned char* table) {
    const __m512i low = _mm512_loadu_si512(table);
    const __m512i high = _mm512_loadu_si512(table + 64);
    // Lane n takes byte n - 1 (lane 0 holds no continuation byte, so its own byte will do).
    alignas(64) unsigned char lanes[64];
    for (int n = 0; n < 64; ++n) lanes[n] = static_cast<unsigned char>(n == 0 ? 0 : n - 1);
    const __m512i behind = _mm512_load_si512(lanes);
    std::size_t i = 0;
    char* o = out;
    while (i + 64 <= size) {
        const __m512i v = _mm512_loadu_si512(in + i);
        const __mmask64 ascii = _mm512_cmplt_epu8_mask(v, _mm512_set1_epi8(char(0x80)));
        const __mmask64 nul = _mm512_cmpeq_epi8_mask(v, _mm512_setzero_si512());
        const __mmask64 lead = _mm512_cmpeq_epi8_mask(
            _mm512_and_si512(v, _mm512_set1_epi8(char(0xFE))), _mm512_set1_epi8(char(0xD0)));
        const __mmask64 cont = _mm512_cmpeq_epi8_mask(
            _mm512_and_si512(v, _mm512_set1_epi8(char(0xC0))), _mm512_set1_epi8(char(0x80)));
        // Every byte placed, every continuation byte right behind a lead. A lead in the last
        // lane is left for the next block.
        if (nul != 0 || (ascii | lead | cont) != ~__mmask64{0} || cont != (lead << 1)) break;
        // For each continuation byte, its letter's number: the lead's last bit and its own six.
        const __m512i previous = _mm512_permutexvar_epi8(behind, v);
        const __m512i index =
            _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(previous, _mm512_set1_epi8(1)), 6),
                            _mm512_and_si512(v, _mm512_set1_epi8(0x3F)));
        const __m512i letters =
            _mm512_permutex2var_epi8(low, _mm512_and_si512(index, _mm512_set1_epi8(0x7F)), high);
        if (_mm512_mask_cmpeq_epi8_mask(cont, letters, _mm512_setzero_si512()) != 0) break;
        const __m512i bytes = _mm512_mask_blend_epi8(cont, v, letters);
        const __mmask64 keep = ascii | cont;
        _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, bytes));
        o += __builtin_popcountll(keep);
        i += 64 - (lead >> 63);
    }
    out = o;
    return i;
}

// 64 bytes at a time through a table of 256, each byte other than NUL becoming one byte; stops
// before a block with a byte that becomes no byte (`wide` marks those), for the byte loop.
LITVOROT_AVX512 std::size_t ByteBlocks(const unsigned char* in, std::size_t size, char* out,
                                       const unsigned char* table, const unsigned char* wide) {
    const __m512i t0 = _mm512_loadu_si512(table), t1 = _mm512_loadu_si512(table + 64);
    const __m512i t2 = _mm512_loadu_si512(table + 128), t3 = _mm512_loadu_si512(table + 192);
    const __m512i w0 = _mm512_loadu_si512(wide), w1 = _mm512_loadu_si512(wide + 64);
    const __m512i w2 = _mm512_loadu_si512(wide + 128), w3 = _mm512_loadu_si512(wide + 192);
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        const __m512i v = _mm512_loadu_si512(in + i);
        const __mmask64 high = _mm512_movepi8_mask(v);
        const __m512i flags = _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(w0, v, w1),
                                                     _mm512_permutex2var_epi8(w2, v, w3));
        if (_mm512_test_epi8_mask(flags, flags) != 0) break;
        const __m512i bytes = _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(t0, v, t1),
                                                     _mm512_permutex2var_epi8(t2, v, t3));
        _mm512_storeu_si512(out + i, bytes);
    }
    return i;
}
#define LITVOROT_AVX2 __attribute__((target("avx2,popcnt")))

// For each set of the eight bytes of a group to keep, where they lie, in order (the rest of the
// eight are left as they come).
struct Compaction {
    std::uint64_t shuffle[256];
    std::uint64_t second[256];  // the same, eight higher: for the second group of a half
};
constexpr Compaction MakeCompaction() {
    Compaction c{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        std::uint64_t shuffle = 0;
        unsigned kept = 0;
        for (unsigned n = 0; n < 8; ++n) {
            if ((mask >> n) & 1) shuffle |= std::uint64_t{n} << (8 * kept++);
        }
        c.shuffle[mask] = shuffle;
        c.second[mask] = shuffle + 0x0808080808080808u;
    }
    return c;
}
constexpr Compaction kCompaction = MakeCompaction();

// The first `count` parts of 16 of a table, each part in both halves of a vector.
template <int count>
struct Parts {
    __m256i part[count];
};
template <int count>
LITVOROT_AVX2 inline Parts<count> LoadParts(const unsigned char* table) {
    Parts<count> t;
    for (int k = 0; k < count; ++k) {
        t.part[k] = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * k)));
    }
    return t;
}
// Looks up 32 indices below 128 in a table of 128 given as Steps: the part k of an index holds
// no sign bit after taking 16 k off exactly when the index lies in part k or beyond, so the parts
// it picks XOR back to the entry of its own part.
using Steps128 = Parts<8>;
LITVOROT_AVX2 inline __m256i LookUp128(const Steps128& t, __m256i index) {
    __m256i found = _mm256_shuffle_epi8(t.part[0], index);
    for (int k = 1; k < 8; ++k) {
        index = _mm256_sub_epi8(index, _mm256_set1_epi8(16));
        found = _mm256_xor_si256(found, _mm256_shuffle_epi8(t.part[k], index));
    }
    return found;
}

// The bytes of `b` where the top bit of `mask`'s byte is set, those of `a` elsewhere. Written
// out, as g++ otherwise turns each mask into a comparison first, an instruction more for every
// blend.
LITVOROT_AVX2 inline __m256i Blend(__m256i a, __m256i b, __m256i mask) {
#if defined(__GNUC__) && !defined(__clang__)
    __m256i picked;
    asm("vpblendvb %3, %2, %1, %0" : "=x"(picked) : "x"(a), "x"(b), "x"(mask));
    return picked;
#else
    return _mm256_blendv_epi8(a, b, mask);
#endif
}

// The table of 128 the AVX2 Cyrillic loop looks its letters up in, in parts of 16, each part in
// both halves of a vector; only the first six (U+0400..U+045F), the last two (letters no code
// page has) being all 0.
using Table96 = Parts<6>;

// Entries `low` of parts k and k + 1, picked by bit 4 of the entry (at the top of `bit4`).
LITVOROT_AVX2 inline __m256i LookUpPair(const Table96& t, int k, __m256i low, __m256i bit4) {
    return Blend(_mm256_shuffle_epi8(t.part[k], low), _mm256_shuffle_epi8(t.part[k + 1], low),
                 bit4);
}

// For each continuation byte of `v` (the byte before it in `prev`, a lead D0 or D1), its letter's
// byte from the table: entry (lead & 1) << 6 | (continuation & 0x3F). Every part is looked up
// with the low four bits, and the results are picked between by bits 4, 5 and 6 of the entry,
// each moved to the top of its byte where the blends read it. Other lanes get what they get.
LITVOROT_AVX2 inline __m256i LookUpLetters(const Table96& t, __m256i v, __m256i prev) {
    const __m256i low = _mm256_andnot_si256(_mm256_set1_epi8(char(0xC0)), v);
    const __m256i bit4 = _mm256_slli_epi16(v, 3);
    const __m256i bit5 = _mm256_slli_epi16(v, 2);
    const __m256i first = Blend(LookUpPair(t, 0, low, bit4), LookUpPair(t, 2, low, bit4), bit5);
    const __m256i second = Blend(LookUpPair(t, 4, low, bit4), _mm256_setzero_si256(), bit5);
    return Blend(first, second, _mm256_slli_epi16(prev, 7));
}

// One block of 32 bytes, `prev` the same loaded one byte earlier: its bytes with each
// continuation byte turned into its letter, the lead bytes (to be dropped), and a lane whose top
// bit is set for each byte that keeps the block from converting here: a byte that is neither
// ASCII, a lead D0/D1 nor a continuation byte, a continuation byte without a lead before it or a
// lead without one after it, NUL, and a letter that is no single byte (0 in the table).
struct CyrillicBlock {
    __m256i bytes;
    __m256i bad;
    std::uint32_t lead;
};
LITVOROT_AVX2 inline CyrillicBlock ReadBlock(const Table96& t, __m256i v, __m256i prev) {
    const __m256i fe = _mm256_set1_epi8(char(0xFE));
    const __m256i d0 = _mm256_set1_epi8(char(0xD0));
    const __m256i cont = _mm256_cmpgt_epi8(_mm256_set1_epi8(char(0xC0)), v);
    const __m256i lead = _mm256_cmpeq_epi8(_mm256_and_si256(v, fe), d0);
    const __m256i leadBefore = _mm256_cmpeq_epi8(_mm256_and_si256(prev, fe), d0);
    const __m256i bytes = Blend(v, LookUpLetters(t, v, prev), cont);
    // Top bit of v: not ASCII, so a lead or a continuation byte it must be.
    const __m256i placed = _mm256_xor_si256(v, _mm256_or_si256(cont, lead));
    const __m256i paired = _mm256_xor_si256(cont, leadBefore);
    const __m256i zero = _mm256_cmpeq_epi8(bytes, _mm256_setzero_si256());
    return {bytes, _mm256_or_si256(_mm256_or_si256(placed, paired), zero),
            static_cast<std::uint32_t>(_mm256_movemask_epi8(lead))};
}

// Stores the bytes of a block but those of `drop`, in order, at `o`: in four groups of eight,
// each gathered by a shuffle from the tables and stored whole, the next written over what it
// left. Up to eight bytes past the end are written over.
LITVOROT_AVX2 inline char* StoreKept(__m256i bytes, std::uint32_t drop, char* o) {
    const std::uint32_t keep = ~drop;
    const unsigned k0 = keep & 0xFF, k1 = (keep >> 8) & 0xFF, k2 = (keep >> 16) & 0xFF,
                   k3 = keep >> 24;
    // The shuffles go straight from the tables into the vector, the second of each half from the
    // table that points eight bytes further.
    const __m128i lowShuffle = _mm_castpd_si128(_mm_loadh_pd(
        _mm_castsi128_pd(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&kCompaction.shuffle[k0]))),
        reinterpret_cast<const double*>(&kCompaction.second[k1])));
    const __m128i highShuffle = _mm_castpd_si128(_mm_loadh_pd(
        _mm_castsi128_pd(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&kCompaction.shuffle[k2]))),
        reinterpret_cast<const double*>(&kCompaction.second[k3])));
    const __m256i packed = _mm256_shuffle_epi8(bytes, _mm256_set_m128i(highShuffle, lowShuffle));
    const __m128i low = _mm256_castsi256_si128(packed);
    const __m128i high = _mm256_extracti128_si256(packed, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), low);
    o += __builtin_popcount(k0);
    _mm_storeh_pd(reinterpret_cast<double*>(o), _mm_castsi128_pd(low));
    o += __builtin_popcount(k1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), high);
    o += __builtin_popcount(k2);
    _mm_storeh_pd(reinterpret_cast<double*>(o), _mm_castsi128_pd(high));
    return o + __builtin_popcount(k3);
}

// CyrillicBlocks with AVX2, 64 bytes at a time, as two blocks of 32 checked together: the
// letters looked up in the table, the lead bytes dropped. Each block is loaded again one byte
// earlier for the lead before each continuation byte, so that a lead in the last lane finds its
// continuation byte in the next block; the first block of the input has none before it.
LITVOROT_AVX2 std::size_t CyrillicBlocks32(const unsigned char* in, std::size_t size, char*& out,
                                           const unsigned char* table) {
    const Table96 t = LoadParts<6>(table);
    std::size_t i = 0;
    char* o = out;
    std::uint32_t carried = 0;  // 1 when the last block stored ended in a lead byte
    while (i + 64 <= size) {
        const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i + 32));
        const __m256i p0 =
            i == 0 ? _mm256_alignr_epi8(
                         v0, _mm256_permute2x128_si256(_mm256_setzero_si256(), v0, 0x21), 15)
                   : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i - 1));
        const __m256i p1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i + 31));
        const CyrillicBlock b0 = ReadBlock(t, v0, p0);
        const CyrillicBlock b1 = ReadBlock(t, v1, p1);
        if (_mm256_movemask_epi8(_mm256_or_si256(b0.bad, b1.bad)) != 0) break;
        o = StoreKept(b0.bytes, b0.lead, o);
        o = StoreKept(b1.bytes, b1.lead, o);
        carried = b1.lead >> 31;
        i += 64;
    }
    out = o;
    // A lead dropped at the end of the last block is left for the character loop (it wrote
    // nothing).
    return i - carried;
}

// ByteBlocks with AVX2, 32 bytes at a time through the steps of both halves of the table (a
// byte that becomes no byte is NUL there); stops before a block that holds one.
// With `asciiKept` ASCII is not looked up at all.
template <bool asciiKept>
LITVOROT_AVX2 std::size_t ByteBlocks32(const unsigned char* in, std::size_t size, char* out,
                                       const unsigned char* lowSteps,
                                       const unsigned char* highSteps) {
    const Steps128 low = LoadParts<8>(lowSteps);
    const Steps128 high = LoadParts<8>(highSteps);
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m256i index = _mm256_and_si256(v, _mm256_set1_epi8(0x7F));
        const __m256i bytes =
            _mm256_blendv_epi8(asciiKept ? v : LookUp128(low, index), LookUp128(high, index), v);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_setzero_si256())) != 0) break;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), bytes);
    }
    return i;
}
#else
std::size_t ByteBlocks(const unsigned char*, std::size_t, char*, const unsigned char*,
                       const unsigned char*) {
    return 0;
}
std::size_t CyrillicBlocks(const unsigned char*, std::size_t, char*&, const unsigned char*) {
    return 0;
}
template <bool asciiKept>
std::size_t ByteBlocks32(const unsigned char*, std::size_t, char*, const unsigned char*,
                         const unsigned char*) {
    return 0;
}
std::size_t CyrillicBlocks32(const unsigned char*, std::size_t, char*&, const unsigned char*) {
    return 0;
}
#endif

}  // namespace

std::size_t StreamConverter::ConvertUtf8(const unsigned char* in, std::size_t size, char* out,
                                         std::size_t& written) {
    std::size_t i = 0;
    std::size_t retry = 0;
    char* o = out;
    constexpr std::size_t block = 64;
    while (i < size) {
        if (cyrillicBlocks_ && i >= retry && i + block <= size) {
            // The block the blocks stopped at goes through the character loop.
            if (simd_ == Simd::kAvx512) {
                i += CyrillicBlocks(in + i, size - i, o, cyrillic_);
            } else {
                i += CyrillicBlocks32(in + i, size - i, o, cyrillic_);
            }
            retry = i + block;
            if (i == size) break;
        }
        const unsigned byte = in[i];
        UChar32 c;
        std::size_t next;
        if (byte - 0xC2 < 0x1E && i + 1 < size && (in[i + 1] & 0xC0) == 0x80) {
            // Two bytes, the Cyrillic letters among them: always valid, always in the table.
            c = static_cast<UChar32>(((byte & 0x1F) << 6) | (in[i + 1] & 0x3F));
            next = i + 2;
        } else if (byte < 0x80) {
            if (byte == 0) break;
            if (asciiKept_) {
                *o++ = static_cast<char>(byte);
                ++i;
                while (i + 8 <= size && PlainAscii(in + i)) {
                    std::memcpy(o, in + i, 8);
                    i += 8;
                    o += 8;
                }
                continue;
            }
            c = static_cast<UChar32>(byte);
            next = i + 1;
        } else {
            // Everything else is decoded as the whole-text path decodes it.
            const std::size_t length = DecodeAt(in, i, size, c);
            if (length == 0) {
                hasInvalid_ = true;
                invalid_ = offset_ + i;
                break;
            }
            next = i + length;
            if (c >= static_cast<UChar32>(kTableSize)) {
                if (bytesOut_) {
                    NoByte(c <= 0xFFFF ? static_cast<char16_t>(c) : U16_LEAD(c),
                           static_cast<std::size_t>(o - out));
                    break;
                }
                // Valid UTF-8 of a character that no conversion touches: its own bytes.
                for (std::size_t k = i; k < next; ++k) *o++ = static_cast<char>(in[k]);
                i = next;
                continue;
            }
        }
        const Form& form = forms_[c];
        if (form.wide) {
            NoByte(form.unit, static_cast<std::size_t>(o - out) + form.length);
            break;
        }
        std::memcpy(o, form.bytes, 4);
        o += form.length;
        i = next;
    }
    written = static_cast<std::size_t>(o - out);
    return i;
}

std::size_t StreamConverter::ConvertBytes(const unsigned char* in, std::size_t size, char* out,
                                          std::size_t& written) {
    const void* const nul = std::memchr(in, 0, size);
    const std::size_t end =
        nul == nullptr ? size
                       : static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - in);
    std::size_t i = 0;
    char* o = out;
    if (oneByte_) {
        // One byte for one byte, a block at a time; a block with a byte that becomes no byte is
        // gone through again below to find it.
        if (simd_ != Simd::kNone) {
            std::size_t done = 0;
            if (simd_ == Simd::kAvx512) {
                done = ByteBlocks(in, end, o, byteOf_, wideOf_);
            } else if (byteBlocks_) {
                done = asciiKept_ ? ByteBlocks32<true>(in, end, o, lowSteps_, highSteps_)
                                  : ByteBlocks32<false>(in, end, o, lowSteps_, highSteps_);
            }
            i += done;
            o += done;
        }
        // The table is copied to where no output byte can overwrite it, so the compiler need
        // not read it again after every store. High byte: 1 when the byte becomes no byte.
        std::uint16_t table[256];
        for (std::size_t b = 0; b < 256; ++b) {
            table[b] = static_cast<std::uint16_t>(byteOf_[b] | (wideOf_[b] << 8));
        }
        constexpr std::size_t kBlock = 4096;
        while (i < end) {
            const std::size_t stop = std::min(end, i + kBlock);
            unsigned wide = 0;
            char* __restrict const block = o;
            for (std::size_t k = i; k < stop; ++k) {
                const unsigned value = table[in[k]];
                block[k - i] = static_cast<char>(value);
                wide |= value;
            }
            if ((wide >> 8) != 0) break;
            o += stop - i;
            i = stop;
        }
    }
    for (; i < end; ++i) {
        const Form& form = forms_[in[i]];
        if (form.wide) {
            NoByte(form.unit, static_cast<std::size_t>(o - out) + form.length);
            break;
        }
        std::memcpy(o, form.bytes, 4);
        o += form.length;
    }
    written = static_cast<std::size_t>(o - out);
    return i;
}

// Translit source: the piece is decoded behind the characters the reader left at the end of the
// last one, and what the reader writes goes out with the spaces of the text's ends as a clipboard
// text keeps them: those it starts with as they are, and at its end either the reader's last
// spaces (when a NUL cuts the text, or an open verbatim section copies its terminator) or, in
// their place, the spaces the input ends with. Gives where in the piece it stopped: its end, a
// NUL, malformed UTF-8 or behind a character that is no byte.
std::size_t StreamConverter::FeedTranslit(const unsigned char* in, std::size_t size, bool last,
                                          HeldOutput& out) {
    std::size_t i = 0;
    bool nul = false;
    std::size_t leading = 0;  // spaces the text starts with, in this piece
    std::size_t kept = units_.size();
    units_.resize(kept + size);
    char16_t* const units = units_.data();
    while (i < size) {
        const unsigned byte = in[i];
        UChar32 c = static_cast<UChar32>(byte);
        std::size_t next = i + 1;
        if (byte == 0) {
            nul = true;
            break;
        }
        if (byte >= 0x80 && !bytesIn_) {
            const std::size_t length = DecodeAt(in, i, size, c);
            if (length == 0) {
                hasInvalid_ = true;
                invalid_ = offset_ + i;
                state_ = State::kDone;
                return i;
            }
            next = i + length;
        }
        i = next;
        if (!started_) {
            if (c == u' ') {
                ++leading;
                continue;
            }
            started_ = true;
        }
        spacesAtEnd_ = c == u' ' ? spacesAtEnd_ + 1 : 0;
        U16_APPEND_UNSAFE(units, kept, c);
    }
    units_.resize(kept);
    WriteSpaces(leading, out);

    const bool end = nul || last;
    const std::size_t taken = reader_->Read(units_, end, read_);
    units_.erase(0, taken);
    if (!WriteRead(end, out)) {
        state_ = bytesIn_ ? State::kDone : State::kChecking;
        return i;
    }
    if (end) {
        if (nul || reader_->InVerbatim()) {
            WriteSpaces(spacesHeld_, out);
        } else {
            WriteSpaces(spacesAtEnd_, out);
        }
        spacesHeld_ = 0;
        state_ = last || bytesIn_ ? State::kDone : State::kChecking;
    }
    return i;
}

// Writes what the reader wrote, but for the spaces at either end; false when a character is no
// byte. Unless at the `end`, the first half of a character of two units waits for its second.
bool StreamConverter::WriteRead(bool end, HeldOutput& out) {
    const char16_t* const units = read_.data();
    std::size_t count = read_.size();
    if (!end && count > 0 && U16_IS_LEAD(units[count - 1]) && !bytesOut_) --count;
    // Room for all of it, and for a run of held spaces of ordinary length; a longer one is
    // written on its own.
    constexpr std::size_t kSpaces = 256;
    auto* bytes = reinterpret_cast<std::uint8_t*>(out.Room(count * 3 + kSpaces));
    std::size_t length = 0;
    const auto commit = [&] {
        out.Commit(length);
        written_ += length;
        length = 0;
    };
    for (std::size_t k = 0; k < count; ++k) {
        UChar32 c = units[k];
        if (c == u' ') {
            // Spaces are only counted, until something else follows them.
            if (writing_) ++spacesHeld_;
            continue;
        }
        writing_ = true;
        if (spacesHeld_ > 0) {
            if (spacesHeld_ <= kSpaces) {
                std::memset(bytes + length, ' ', spacesHeld_);
                length += spacesHeld_;
            } else {
                commit();
                WriteSpaces(spacesHeld_, out);
                bytes = reinterpret_cast<std::uint8_t*>(out.Room((count - k) * 3 + kSpaces));
            }
            spacesHeld_ = 0;
        }
        if (bytesOut_) {
            if (c > 0xFF) {
                commit();
                NoByte(units[k], 0);
                return false;
            }
            bytes[length++] = static_cast<std::uint8_t>(c);
            continue;
        }
        // Valid UTF-8 in gives no lone half.
        if (U16_IS_LEAD(c) && k + 1 < count && U16_IS_TRAIL(units[k + 1])) {
            c = U16_GET_SUPPLEMENTARY(c, units[k + 1]);
            ++k;
        }
        U8_APPEND_UNSAFE(bytes, length, c);
    }
    commit();
    read_.erase(0, count);
    return true;
}

void StreamConverter::WriteSpaces(std::size_t count, HeldOutput& out) {
    constexpr std::size_t kChunk = 64 * 1024;
    while (count > 0) {
        const std::size_t n = std::min(count, kChunk);
        std::memset(out.Room(n), ' ', n);
        out.Commit(n);
        written_ += n;
        count -= n;
    }
}

std::size_t StreamConverter::Feed(std::string_view piece, bool last, HeldOutput& out) {
    const std::size_t take = last || bytesIn_ ? piece.size() : SafeEnd(piece);
    const auto* in = reinterpret_cast<const unsigned char*>(piece.data());
    std::size_t from = 0;
    if (state_ == State::kConverting && reader_) {
        from = FeedTranslit(in, take, last, out);
    } else if (state_ == State::kConverting) {
        // At most `growth_` output bytes for each input byte, and four to spare for the last
        // form (the block loops store eight bytes at a time, never beyond the input's size).
        char* const room = out.Room(take * growth_ + 8);
        std::size_t written = 0;
        from =
            bytesIn_ ? ConvertBytes(in, take, room, written) : ConvertUtf8(in, take, room, written);
        out.Commit(written);
        written_ += written;
        if (from < take || hasInvalid_) {
            // The clipboard text has ended, or the input is refused: only malformed UTF-8
            // further on can still change the result.
            state_ = bytesIn_ || hasInvalid_ ? State::kDone : State::kChecking;
        }
    }
    if (state_ == State::kChecking) {
        const std::size_t valid = FirstMalformedUtf8(piece.substr(from, take - from));
        if (valid < take - from) {
            hasInvalid_ = true;
            invalid_ = offset_ + from + valid;
            state_ = State::kDone;
        }
    }
    offset_ += take;
    return take;
}

bool StreamConverter::Finish(std::string& message) const {
    if (hasInvalid_) {
        message = InvalidUtf8Message(invalid_);
        return false;
    }
    if (hasWide_) {
        message = NoByteMessage(wideUnit_, widePosition_);
        return false;
    }
    return true;
}

}  // namespace litvorot
