#include "allocation_watch.h"
#include "project/archive.h"
#include "project/memory_range.h"
#include "project/code_list.h"
#include "project/erase_map.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Le16(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
Bytes Le32(uint32_t v)
{
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}
Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}
Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Prefix(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + n); }

const CArchive::CClassInfo kA = {"CAlpha", 0};
const CArchive::CClassInfo kB = {"CBeta", 0};

} // namespace

TEST(Archive, NumbersAreLittleEndianAndSixteenBitFieldsDoNotSignExtend)
{
    CArchive out;
    int negative = -1;
    int wide = 0x12345;
    uint32_t word = 0x11223344;
    bool flag = true;
    out.Exchange16(negative);
    out.Exchange16(wide);
    out.Exchange32(word);
    out.Exchange8(flag);
    ASSERT_TRUE(out.Ok());
    EXPECT_EQ(out.GetBuffer(), (Bytes{0xFF, 0xFF, 0x45, 0x23, 0x44, 0x33, 0x22, 0x11, 0x01}));

    CArchive in(out.GetBuffer());
    int a = 7, b = 7;
    uint32_t c = 0;
    bool d = false;
    in.Exchange16(a);
    in.Exchange16(b);
    in.Exchange32(c);
    in.Exchange8(d);
    ASSERT_TRUE(in.Ok());
    EXPECT_EQ(a, 0xFFFF);
    EXPECT_EQ(b, 0x2345);
    EXPECT_EQ(c, 0x11223344u);
    EXPECT_TRUE(d);
    EXPECT_EQ(in.GetRemaining(), 0u);
}

TEST(Archive, StringLengthFormsAtTheirBoundaries)
{
    struct Case {
        size_t length;
        Bytes header;
    } cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, Cat({{0xFF}, Le16(255)})},
        {0xFFFD, Cat({{0xFF}, Le16(0xFFFD)})},
        {0xFFFE, Cat({{0xFF}, Le16(0xFFFF), Le32(0xFFFE)})},
        {70000, Cat({{0xFF}, Le16(0xFFFF), Le32(70000)})},
    };
    for (const auto& c : cases) {
        std::string text(c.length, 'x');
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char>('a' + i % 26);
        CArchive out;
        out.WriteString(text);
        ASSERT_TRUE(out.Ok());
        const Bytes& buf = out.GetBuffer();
        ASSERT_EQ(buf.size(), c.header.size() + c.length) << c.length;
        EXPECT_EQ(Prefix(buf, c.header.size()), c.header) << c.length;

        CArchive in(buf);
        EXPECT_EQ(in.ReadString(), text) << c.length;
        EXPECT_TRUE(in.Ok());
        EXPECT_EQ(in.GetRemaining(), 0u);
    }
}

TEST(Archive, ReadingAcceptsLongerLengthFormsThanNeeded)
{
    const Bytes buf = Cat({{0xFF}, Le16(3), Str("abc"), {0xFF}, Le16(0xFFFF), Le32(2), Str("de")});
    CArchive in(buf);
    EXPECT_EQ(in.ReadString(), "abc");
    EXPECT_EQ(in.ReadString(), "de");
    EXPECT_TRUE(in.Ok());
}

TEST(Archive, CountFormsAtTheirBoundaries)
{
    struct Case {
        size_t count;
        Bytes bytes;
    } cases[] = {
        {0, Le16(0)},
        {0xFFFE, Le16(0xFFFE)},
        {0xFFFF, Cat({Le16(0xFFFF), Le32(0xFFFF)})},
        {70000, Cat({Le16(0xFFFF), Le32(70000)})},
    };
    for (const auto& c : cases) {
        CArchive out;
        out.WriteCount(c.count);
        EXPECT_EQ(out.GetBuffer(), c.bytes) << c.count;
        CArchive in(out.GetBuffer());
        EXPECT_EQ(in.ReadCount(), c.count);
        EXPECT_TRUE(in.Ok());
    }
}

TEST(Archive, ClassTagOnceThenReferencesAndOneRunningIndex)
{
    int o1 = 0, o2 = 0, o3 = 0, o4 = 0;
    CArchive out;
    EXPECT_TRUE(out.WriteObjectTag(kA, &o1));  // class CAlpha = 1, object 2
    EXPECT_TRUE(out.WriteObjectTag(kA, &o2));  // object 3
    EXPECT_FALSE(out.WriteObjectTag(kA, nullptr));
    EXPECT_TRUE(out.WriteObjectTag(kB, &o3));  // class CBeta = 4, object 5
    EXPECT_TRUE(out.WriteObjectTag(kA, &o4));  // object 6
    EXPECT_FALSE(out.WriteObjectTag(kA, &o2)); // reference to 3
    EXPECT_FALSE(out.WriteObjectTag(kB, &o3)); // reference to 5
    ASSERT_TRUE(out.Ok());
    const Bytes expected = Cat({Le16(0xFFFF), Le16(0), Le16(6), Str("CAlpha"), Le16(0x8001), Le16(0x0000),
                                Le16(0xFFFF), Le16(0), Le16(5), Str("CBeta"), Le16(0x8001), Le16(0x0003),
                                Le16(0x0005)});
    EXPECT_EQ(out.GetBuffer(), expected);

    CArchive in(expected);
    uint32_t index = 0;
    const struct {
        const CArchive::CClassInfo* cls;
        CArchive::EObjectTag tag;
        uint32_t index;
    } reads[] = {
        {&kA, CArchive::EObjectTag::New, 2},       {&kA, CArchive::EObjectTag::New, 3},
        {&kA, CArchive::EObjectTag::Null, 0},      {&kB, CArchive::EObjectTag::New, 5},
        {&kA, CArchive::EObjectTag::New, 6},       {&kA, CArchive::EObjectTag::Reference, 3},
        {&kB, CArchive::EObjectTag::Reference, 5},
    };
    for (const auto& r : reads) {
        EXPECT_EQ(in.ReadObjectTag(*r.cls, index), r.tag);
        EXPECT_EQ(index, r.index);
    }
    EXPECT_TRUE(in.Ok());
    EXPECT_EQ(in.GetRemaining(), 0u);
}

TEST(Archive, IndexesFrom0x7FFFUseTheThirtyTwoBitEscape)
{
    // 0x7FFE objects of CAlpha take indexes 2..0x7FFF; CBeta then is class
    // 0x8000 and its object 0x8001.
    std::vector<int> objects(0x7FFE);
    int beta1 = 0, beta2 = 0;
    CArchive out;
    for (int& o : objects)
        out.WriteObjectTag(kA, &o);
    const size_t mark = out.GetBuffer().size();
    out.WriteObjectTag(kB, &beta1);
    out.WriteObjectTag(kB, &beta2);      // class reference 0x8000: escaped
    out.WriteObjectTag(kA, &objects[0]); // object 2: short
    out.WriteObjectTag(kA, &objects.back()); // object 0x7FFF: escaped
    out.WriteObjectTag(kB, &beta2);      // object 0x8002: escaped
    ASSERT_TRUE(out.Ok());
    const Bytes tail(out.GetBuffer().begin() + static_cast<long>(mark), out.GetBuffer().end());
    EXPECT_EQ(tail, Cat({Le16(0xFFFF), Le16(0), Le16(5), Str("CBeta"), Le16(0x7FFF), Le32(0x80008000),
                         Le16(0x0002), Le16(0x7FFF), Le32(0x7FFF), Le16(0x7FFF), Le32(0x8002)}));

    CArchive in(out.GetBuffer());
    uint32_t index = 0;
    for (size_t i = 0; i < objects.size(); ++i)
        ASSERT_EQ(in.ReadObjectTag(kA, index), CArchive::EObjectTag::New);
    EXPECT_EQ(index, 0x7FFFu);
    EXPECT_EQ(in.ReadObjectTag(kB, index), CArchive::EObjectTag::New);
    EXPECT_EQ(index, 0x8001u);
    EXPECT_EQ(in.ReadObjectTag(kB, index), CArchive::EObjectTag::New);
    EXPECT_EQ(index, 0x8002u);
    EXPECT_EQ(in.ReadObjectTag(kA, index), CArchive::EObjectTag::Reference);
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(in.ReadObjectTag(kA, index), CArchive::EObjectTag::Reference);
    EXPECT_EQ(index, 0x7FFFu);
    EXPECT_EQ(in.ReadObjectTag(kB, index), CArchive::EObjectTag::Reference);
    EXPECT_EQ(index, 0x8002u);
    EXPECT_TRUE(in.Ok());
}

TEST(Archive, BadTagsFailCleanly)
{
    // A valid start: class CAlpha (index 1) and one object (index 2).
    const Bytes head = Cat({Le16(0xFFFF), Le16(0), Le16(6), Str("CAlpha")});
    struct Case {
        const char* what;
        Bytes tail;
        EArchiveError error;
    } cases[] = {
        {"object reference past the end of the index", Le16(0x0005), EArchiveError::BadIndex},
        {"object reference to the next index, not yet given", Le16(0x0003), EArchiveError::BadIndex},
        {"object reference to a class", Le16(0x0001), EArchiveError::BadIndex},
        {"class reference to an object", Le16(0x8002), EArchiveError::BadIndex},
        {"class reference 0", Le16(0x8000), EArchiveError::BadIndex},
        {"class reference past the end", Le16(0x8009), EArchiveError::BadIndex},
        {"escaped object reference 0xFFFFFFFF", Cat({Le16(0x7FFF), Le32(0xFFFFFFFF)}), EArchiveError::BadIndex},
        {"escaped object reference 0x7FFFFFFF", Cat({Le16(0x7FFF), Le32(0x7FFFFFFF)}), EArchiveError::BadIndex},
        {"another class where CAlpha belongs", Cat({Le16(0xFFFF), Le16(0), Le16(5), Str("CBeta")}),
         EArchiveError::BadClass},
        {"a misspelt class name", Cat({Le16(0xFFFF), Le16(0), Le16(6), Str("CAlphA")}), EArchiveError::BadClass},
        {"a known class with another schema", Cat({Le16(0xFFFF), Le16(1), Le16(6), Str("CAlpha")}),
         EArchiveError::BadSchema},
        {"a class name length beyond the end", Cat({Le16(0xFFFF), Le16(0), Le16(0xFFFF), Str("CAl")}),
         EArchiveError::EndOfData},
        {"an escaped tag cut short", Cat({Le16(0x7FFF), Le16(0)}), EArchiveError::EndOfData},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes buf = Cat({head, c.tail});
        CArchive in(buf);
        uint32_t index = 99;
        ASSERT_EQ(in.ReadObjectTag(kA, index), CArchive::EObjectTag::New);
        EXPECT_EQ(in.ReadObjectTag(kA, index), CArchive::EObjectTag::Error);
        EXPECT_EQ(in.GetError(), c.error);
        EXPECT_GE(in.GetErrorOffset(), head.size());
        EXPECT_FALSE(in.GetErrorText().empty());
        EXPECT_EQ(in.GetBoundObject(2), nullptr);
    }
}

TEST(Archive, AReferenceToAnObjectOfAnotherClassIsRefused)
{
    int alpha = 0, beta = 0;
    CArchive out;
    out.WriteObjectTag(kA, &alpha);
    out.WriteObjectTag(kB, &beta);
    out.WriteObjectTag(kB, &alpha); // a reference to a CAlpha object where a CBeta is read
    CArchive in(out.GetBuffer());
    uint32_t index = 0;
    in.ReadObjectTag(kA, index);
    in.ReadObjectTag(kB, index);
    EXPECT_EQ(in.ReadObjectTag(kB, index), CArchive::EObjectTag::Error);
    EXPECT_EQ(in.GetError(), EArchiveError::BadClass);

    Bytes classMix = Cat({Le16(0xFFFF), Le16(0), Le16(6), Str("CAlpha"), Le16(0xFFFF), Le16(0), Le16(5),
                          Str("CBeta"), Le16(0x8003)});
    CArchive in2(classMix);
    in2.ReadObjectTag(kA, index);
    in2.ReadObjectTag(kB, index);
    EXPECT_EQ(in2.ReadObjectTag(kA, index), CArchive::EObjectTag::Error);
    EXPECT_EQ(in2.GetError(), EArchiveError::BadClass);
}

TEST(Archive, HostileLengthsAndCountsFailWithoutAllocating)
{
    struct Case {
        const char* what;
        Bytes bytes;
        EArchiveError error;
    } strings[] = {
        {"string 0xFF FFFF FFFFFFFF", Cat({{0xFF}, Le16(0xFFFF), Le32(0xFFFFFFFF), Str("abc")}),
         EArchiveError::EndOfData},
        {"string 0xFF FFFD", Cat({{0xFF}, Le16(0xFFFD), Str("abc")}), EArchiveError::EndOfData},
        {"string of 200 in 3 bytes", Cat({{200}, Str("abc")}), EArchiveError::EndOfData},
        {"wide-character string mark", Cat({{0xFF}, Le16(0xFFFE), {0x03}, Str("abc")}), EArchiveError::BadString},
    };
    for (const auto& c : strings) {
        SCOPED_TRACE(c.what);
        CAllocationWatch watch;
        CArchive in(c.bytes);
        std::string s = "kept";
        in.ExchangeString(s);
        EXPECT_EQ(in.GetError(), c.error);
        EXPECT_EQ(s, "kept");
        EXPECT_LT(watch.Largest(), 1024u);
    }

    // Counts: of an init list and of the erase map's byte array.
    const Bytes counts[] = {Le16(0xFFFE), Cat({Le16(0xFFFF), Le32(0xFFFFFFFF)}), Cat({Le16(0xFFFF), Le32(70000)})};
    for (const auto& count : counts) {
        const Bytes buf = Cat({count, Le16(0), Le16(0), Le16(0)});
        {
            CAllocationWatch watch;
            CCodeList list;
            list.Add(CCodeItem(CCodeItem::Nop, 0, 0, "keep me"));
            CArchive in(buf);
            list.Serialize(in);
            EXPECT_EQ(in.GetError(), EArchiveError::EndOfData);
            EXPECT_EQ(list.GetCount(), 1u);
            EXPECT_LT(watch.Largest(), 1024u);
        }
        {
            CAllocationWatch watch;
            CEraseMap map;
            map.Resize(1, 2);
            map.SelectSector(0, 1, 1);
            CArchive in(buf);
            map.Serialize(in);
            EXPECT_EQ(in.GetError(), EArchiveError::EndOfData);
            EXPECT_TRUE(map.IsSectorSelected(0, 1));
            EXPECT_LT(watch.Largest(), 1024u);
        }
    }
}

TEST(Archive, ErrorsAreStickyAndReadsAfterThemChangeNothing)
{
    const Bytes buf = Cat({Le16(0x1234), {0x01}});
    CArchive in(buf);
    EXPECT_EQ(in.ReadU16(), 0x1234);
    EXPECT_EQ(in.ReadU32(), 0u);
    EXPECT_EQ(in.GetError(), EArchiveError::EndOfData);
    EXPECT_EQ(in.GetErrorOffset(), 2u);
    // The byte that remains is not consumed by later reads, nor is the error replaced.
    int field = 5;
    in.Exchange8(field);
    EXPECT_EQ(field, 5);
    EXPECT_EQ(in.GetRemaining(), 1u);
    in.Fail(EArchiveError::BadData, "later");
    EXPECT_EQ(in.GetError(), EArchiveError::EndOfData);
    EXPECT_NE(in.GetErrorText().find("the file ends early"), std::string::npos);
}

TEST(Archive, ReadingAStoringArchiveOrWritingALoadingOneFails)
{
    CArchive out;
    out.ReadU8();
    EXPECT_EQ(out.GetError(), EArchiveError::WrongDirection);
    const Bytes buf{1, 2};
    CArchive in(buf);
    in.WriteU8(1);
    EXPECT_EQ(in.GetError(), EArchiveError::WrongDirection);
}

// A project-like stream built from the real objects: ranges, the erase map,
// init lists with entries of every length form, a null slot and references.
namespace {

struct CSample {
    uint16_t format = 1;
    std::string address = "111.111.111.111";
    CEraseMap map;
    CMemoryRange range{0x08000000, 0x20000, 1};
    CCodeList main, pre;
    std::string tail = "end";

    void Serialize(CArchive& ar)
    {
        ar.Exchange16(format);
        ar.ExchangeString(address);
        map.Serialize(ar);
        range.Serialize(ar);
        main.Serialize(ar);
        pre.Serialize(ar);
        ar.ExchangeString(tail);
    }
};

Bytes SampleBytes()
{
    CSample s;
    s.map.Resize(2, 3);
    s.map.SelectSector(1, 2, 1);
    s.main.Add(CCodeItem(CCodeItem::Wm32, 0xFFFFF124, 1, "x"));
    s.main.Add(CCodeItem(CCodeItem::Delay, 0, 100, ""));
    CCodeItem longOne;
    longOne.SetText("LOOP\t00000004\t00000002\t" + std::string(300, 'c'));
    s.main.Add(longOne);
    s.pre.Add(std::unique_ptr<CCodeItem>());
    s.pre.Add(CCodeItem(CCodeItem::Wgpr, 13, 0x20, "sp"));
    CArchive out;
    s.Serialize(out);
    return out.TakeBuffer();
}

} // namespace

TEST(Archive, ACutAtEveryByteOfAValidStreamFailsAsEndOfData)
{
    const Bytes full = SampleBytes();
    {
        CSample whole;
        CArchive in(full);
        whole.Serialize(in);
        ASSERT_TRUE(in.Ok()) << in.GetErrorText();
        EXPECT_EQ(in.GetRemaining(), 0u);
        EXPECT_EQ(whole.main.GetCount(), 3u);
        EXPECT_EQ(whole.pre.GetAt(0), nullptr);
        EXPECT_TRUE(whole.map.IsSectorSelected(1, 2));
    }
    CAllocationWatch watch;
    for (size_t cut = 0; cut < full.size(); ++cut) {
        const Bytes part = Prefix(full, cut);
        CSample s;
        CArchive in(part);
        s.Serialize(in);
        ASSERT_EQ(in.GetError(), EArchiveError::EndOfData) << "cut at " << cut;
        ASSERT_LE(in.GetErrorOffset(), cut);
    }
    EXPECT_LT(watch.Largest(), 4096u);
}

TEST(Archive, EveryCorruptedByteReadsOrFailsCleanly)
{
    const Bytes full = SampleBytes();
    CAllocationWatch watch;
    size_t failures = 0;
    for (size_t at = 0; at < full.size(); ++at) {
        for (uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF}) {
            Bytes bad = full;
            bad[at] = value;
            CSample s;
            CArchive in(bad);
            s.Serialize(in);
            if (!in.Ok()) {
                ++failures;
                EXPECT_FALSE(in.GetErrorText().empty());
            }
        }
    }
    EXPECT_GT(failures, 0u);
    EXPECT_LT(watch.Largest(), 4096u);
}
