#include "TagMessages.h"

#include <algorithm>

namespace tagwire {
namespace {

constexpr std::uint8_t kHello = 'H';
constexpr std::uint8_t kRequest = 'B';
constexpr std::uint8_t kReply = 'R';
constexpr std::uint8_t kCopyTags = 'W';
constexpr std::uint8_t kCopyTagged = 'T';
constexpr std::size_t kMaxReason = 200;
constexpr std::size_t kMaxEncoding = 64;

class Writer {
public:
    explicit Writer(Bytes& to) : To(to) {}
    void U8(std::uint8_t n) { To.push_back(n); }
    void U32(std::uint32_t n)
    {
        for (int i = 0; i < 4; ++i)
            To.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    }
    void U64(std::uint64_t n)
    {
        U32(static_cast<std::uint32_t>(n));
        U32(static_cast<std::uint32_t>(n >> 32));
    }
    void Text(const std::string& text, std::size_t most)
    {
        const std::size_t n = std::min(text.size(), most);
        U32(static_cast<std::uint32_t>(n));
        To.insert(To.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    }
    void Text(const std::u16string& text)
    {
        std::size_t n = std::min(text.size(), kMaxText);
        // A pair of surrogates is never cut in two.
        if (n < text.size() && n > 0 && text[n - 1] >= 0xD800 && text[n - 1] < 0xDC00)
            --n;
        U32(static_cast<std::uint32_t>(n));
        for (std::size_t i = 0; i < n; ++i) {
            To.push_back(static_cast<std::uint8_t>(text[i] & 0xFF));
            To.push_back(static_cast<std::uint8_t>(text[i] >> 8));
        }
    }

private:
    Bytes& To;
};

// A bounds-checked cursor: a read past the end fails, and the failure stays.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : Data(data), Size(size) {}
    bool Ok() const { return Good; }
    bool AtEnd() const { return Good && At == Size; }
    std::size_t Remaining() const { return Size - At; }
    std::uint8_t U8() { return Take(1) ? Data[At - 1] : 0; }
    std::uint32_t U32()
    {
        if (!Take(4))
            return 0;
        std::uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = n << 8 | Data[At - 4 + static_cast<std::size_t>(i)];
        return n;
    }
    std::uint64_t U64()
    {
        const std::uint64_t low = U32();
        return low | std::uint64_t(U32()) << 32;
    }
    std::string Text(std::size_t most)
    {
        const std::uint32_t n = U32();
        if (n > most || !Take(n))
            return Fail<std::string>();
        return {reinterpret_cast<const char*>(Data + At - n), n};
    }
    std::u16string Wide()
    {
        const std::uint32_t n = U32();
        if (n > kMaxText || n > Remaining() / 2 || !Take(2 * std::size_t(n)))
            return Fail<std::u16string>();
        std::u16string text(n, u'\0');
        const std::uint8_t* from = Data + At - 2 * std::size_t(n);
        for (std::size_t i = 0; i < n; ++i)
            text[i] = static_cast<char16_t>(from[2 * i] | from[2 * i + 1] << 8);
        return text;
    }

private:
    template <class T>
    T Fail()
    {
        Good = false;
        return {};
    }
    bool Take(std::size_t n)
    {
        if (!Good || n > Size - At)
            return Good = false;
        At += n;
        return true;
    }
    const std::uint8_t* Data;
    std::size_t Size;
    std::size_t At = 0;
    bool Good = true;
};

void EncodeFields(Writer& out, const TagFields& f)
{
    for (const std::u16string* text : {&f.Title, &f.Artist, &f.Album, &f.AlbumArtist, &f.Genre, &f.Composer, &f.Comment})
        out.Text(*text);
    for (const std::int32_t n : {f.Year, f.TrackNumber, f.TrackCount, f.DiscNumber, f.DiscCount})
        out.U32(static_cast<std::uint32_t>(n));
    out.U8(static_cast<std::uint8_t>((f.Compilation ? 1 : 0) | (f.Video ? 2 : 0)));
    out.U32(f.LengthMs);
    out.U32(static_cast<std::uint32_t>(f.BitRate));
    out.U32(static_cast<std::uint32_t>(f.SampleRate));
    out.U64(f.FileSize);
    out.Text(f.Encoding, kMaxEncoding);
}

TagFields DecodeFields(Reader& in)
{
    TagFields f;
    for (std::u16string* text : {&f.Title, &f.Artist, &f.Album, &f.AlbumArtist, &f.Genre, &f.Composer, &f.Comment})
        *text = in.Wide();
    for (std::int32_t* n : {&f.Year, &f.TrackNumber, &f.TrackCount, &f.DiscNumber, &f.DiscCount})
        *n = static_cast<std::int32_t>(in.U32());
    const std::uint8_t flags = in.U8();
    f.Compilation = (flags & 1) != 0;
    f.Video = (flags & 2) != 0;
    f.LengthMs = in.U32();
    f.BitRate = static_cast<std::int32_t>(in.U32());
    f.SampleRate = static_cast<std::int32_t>(in.U32());
    f.FileSize = in.U64();
    f.Encoding = in.Text(kMaxEncoding);
    return f;
}

} // namespace

Bytes Encode(const Hello& hello)
{
    Bytes bytes;
    Writer out(bytes);
    out.U8(kHello);
    out.U32(hello.Version);
    out.U8(static_cast<std::uint8_t>((hello.AddressLimit ? 1 : 0) | (hello.Confined ? 2 : 0)));
    return bytes;
}

Bytes Encode(const Request& request)
{
    Bytes bytes;
    Writer out(bytes);
    out.U8(kRequest);
    out.U32(request.Batch);
    out.U8(static_cast<std::uint8_t>(request.Files.size()));
    for (const auto& [kind, name] : request.Files) {
        out.U8(static_cast<std::uint8_t>(kind));
        out.Text(name, kMaxName);
    }
    return bytes;
}

bool Append(Bytes& reply, std::uint32_t batch, std::uint8_t index, const TagResult& result)
{
    const std::size_t before = reply.size();
    Writer out(reply);
    if (reply.empty()) {
        out.U8(kReply);
        out.U32(batch);
    }
    out.U8(index);
    out.U8(static_cast<std::uint8_t>(result.Outcome));
    out.U32(static_cast<std::uint32_t>(result.Error));
    if (result.Outcome == TagOutcome::Read)
        EncodeFields(out, result.Fields);
    if (reply.size() > kMaxMessage && before > 0) {
        reply.resize(before);
        return false;
    }
    return true;
}

std::optional<Hello> DecodeHello(const std::uint8_t* data, std::size_t size)
{
    Reader in(data, size);
    Hello hello;
    const bool tagged = in.U8() == kHello;
    hello.Version = in.U32();
    const std::uint8_t flags = in.U8();
    hello.AddressLimit = (flags & 1) != 0;
    hello.Confined = (flags & 2) != 0;
    if (!tagged || !in.AtEnd())
        return std::nullopt;
    return hello;
}

std::optional<Request> DecodeRequest(const std::uint8_t* data, std::size_t size)
{
    Reader in(data, size);
    Request request;
    const bool tagged = in.U8() == kRequest;
    request.Batch = in.U32();
    const std::size_t count = in.U8();
    if (!tagged || count > kMaxBatch)
        return std::nullopt;
    for (std::size_t i = 0; i < count && in.Ok(); ++i) {
        const std::uint8_t kind = in.U8();
        std::string name = in.Text(kMaxName);
        if (kind > static_cast<std::uint8_t>(MediaKind::Aiff))
            return std::nullopt;
        request.Files.emplace_back(static_cast<MediaKind>(kind), std::move(name));
    }
    if (!in.AtEnd())
        return std::nullopt;
    return request;
}

std::optional<Reply> DecodeReply(const std::uint8_t* data, std::size_t size)
{
    Reader in(data, size);
    Reply reply;
    const bool tagged = in.U8() == kReply;
    reply.Batch = in.U32();
    if (!tagged || !in.Ok())
        return std::nullopt;
    while (in.Ok() && !in.AtEnd()) {
        const std::uint8_t index = in.U8();
        TagResult result;
        const std::uint8_t outcome = in.U8();
        result.Error = static_cast<int>(in.U32());
        if (index >= kMaxBatch || outcome > static_cast<std::uint8_t>(TagOutcome::ReadError))
            return std::nullopt;
        result.Outcome = static_cast<TagOutcome>(outcome);
        if (result.Outcome == TagOutcome::Read)
            result.Fields = DecodeFields(in);
        reply.Results.emplace_back(index, std::move(result));
    }
    if (!in.Ok())
        return std::nullopt;
    return reply;
}

Bytes Encode(const CopyTags& tags)
{
    Bytes bytes;
    Writer out(bytes);
    out.U8(kCopyTags);
    out.U32(tags.Seq);
    out.U8(tags.Kind);
    out.Text(tags.Name, kMaxName);
    for (const std::u16string& text : tags.Texts)
        out.Text(text);
    for (const std::int32_t n : tags.Numbers)
        out.U32(static_cast<std::uint32_t>(n));
    out.U8(static_cast<std::uint8_t>((tags.Compilation ? 1 : 0) | (tags.Cover ? 2 : 0)));
    return bytes;
}

Bytes Encode(const CopyTagged& tagged)
{
    Bytes bytes;
    Writer out(bytes);
    out.U8(kCopyTagged);
    out.U32(tagged.Seq);
    out.U8(static_cast<std::uint8_t>((tagged.Tagged ? 1 : 0) | (tagged.Changed ? 2 : 0)));
    out.U32(static_cast<std::uint32_t>(tagged.Error));
    out.Text(tagged.Reason, kMaxReason);
    return bytes;
}

std::optional<CopyTags> DecodeCopyTags(const std::uint8_t* data, std::size_t size)
{
    Reader in(data, size);
    CopyTags tags;
    const bool tagged = in.U8() == kCopyTags;
    tags.Seq = in.U32();
    tags.Kind = in.U8();
    tags.Name = in.Text(kMaxName);
    for (std::u16string& text : tags.Texts)
        text = in.Wide();
    for (std::int32_t& n : tags.Numbers)
        n = static_cast<std::int32_t>(in.U32());
    const std::uint8_t flags = in.U8();
    tags.Compilation = (flags & 1) != 0;
    tags.Cover = (flags & 2) != 0;
    if (!tagged || !in.AtEnd())
        return std::nullopt;
    return tags;
}

std::optional<CopyTagged> DecodeCopyTagged(const std::uint8_t* data, std::size_t size)
{
    Reader in(data, size);
    CopyTagged result;
    const bool tagged = in.U8() == kCopyTagged;
    result.Seq = in.U32();
    const std::uint8_t flags = in.U8();
    result.Tagged = (flags & 1) != 0;
    result.Changed = (flags & 2) != 0;
    result.Error = static_cast<std::int32_t>(in.U32());
    result.Reason = in.Text(kMaxReason);
    if (!tagged || !in.AtEnd())
        return std::nullopt;
    return result;
}

} // namespace tagwire
