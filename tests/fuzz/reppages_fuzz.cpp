// The rendered pages file (".rep", ".qr", ".qrp" by the first byte) on any
// bytes. Reading ends in its own read error ("Stream read error", or the
// refusal of a Windows metafile) or in pages; a file that claims a huge
// count or points backwards ends quickly. What is read, written again and
// read back gives the same pages, and writing them again the same bytes.

#include "FuzzSupport.h"

#include "platform/Exceptions.h"
#include "reports/RenderedPages.h"

namespace {

std::vector<const TPageInfo*> Pointers(const TRenderedPages& r)
{
    std::vector<const TPageInfo*> out;
    for (const TPageInfo& p : r.Pages)
        out.push_back(&p);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInitApp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const TPagesFileKind kinds[] = {TPagesFileKind::Rep, TPagesFileKind::Qr, TPagesFileKind::Qrp};
    const TPagesFileKind kind = kinds[in.Byte() % 3];
    const QByteArray bytes = in.Rest();
    TRenderedPages read;
    try {
        ReadRenderedPages(bytes, kind, read);
    } catch (const EReadError& e) {
        FuzzCheck(e.Message() == kStreamReadError || e.Message() == kWindowsMetafilePages,
            "a damaged file is refused by the reader's own texts", e.Message());
        FuzzCheck(read.Pages.size() <= size_t(bytes.size()) / 12, "no more pages than records fit");
        return 0;
    }
    FuzzCheck(kind == TPagesFileKind::Rep || !read.Margins, "a \".qr\" or \".qrp\" has the flag 0");
    const QByteArray written = WriteRenderedPages(read.Margins, Pointers(read));
    TRenderedPages again;
    try {
        ReadRenderedPages(written, TPagesFileKind::Rep, again);
    } catch (const EReadError& e) {
        FuzzFail("what was read is read again", e.Message());
    }
    FuzzCheck(again.Margins == read.Margins && again.Pages.size() == read.Pages.size(), "the same count and flag");
    for (size_t i = 0; i < read.Pages.size(); ++i) {
        const TPageInfo &a = read.Pages[i], &b = again.Pages[i];
        FuzzCheck(
            a.Sheet == b.Sheet && a.Orientation == b.Orientation && PictureBytes(a.Picture) == PictureBytes(b.Picture),
            "each page the same", QString::number(i));
    }
    FuzzCheck(WriteRenderedPages(again.Margins, Pointers(again)) == written, "written again to the same bytes");
    return 0;
}
