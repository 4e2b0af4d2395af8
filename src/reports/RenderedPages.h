#pragma once
// The rendered pages file (".rep"): the output pages of a run as the
// preview saves them and opens them again. The container is the old
// program's; each page's payload is our own (the sheet and a QPicture),
// so files the Windows program wrote (metafiles) are refused by name.

#include "reports/PrintBackend.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

// What a file holds: the page-geometry flag (the pages cover the whole
// sheet) and the pages in order.
struct TRenderedPages {
    bool Margins = false;
    std::vector<TPageInfo> Pages;
};

// The recorded bytes of a picture (QPicture::data() alone stops nowhere).
QByteArray PictureBytes(const QPicture& picture);

enum class TPagesFileKind { Rep, Qr, Qrp };
// By the extension, letter case ignored; anything else is a ".rep".
TPagesFileKind PagesFileKind(const QString& fileName);

// Called with a percent as the work goes on.
using TPagesProgress = std::function<void(int percent)>;

QByteArray WriteRenderedPages(
    bool margins, const std::vector<const TPageInfo*>& pages, const TPagesProgress& progress = {});
// Written under a temporary name and renamed, so a failure keeps the old file.
void SaveRenderedPages(const QString& fileName, bool margins, const std::vector<const TPageInfo*>& pages,
    const TPagesProgress& progress = {});

// Reads into `into` page by page; a damaged file raises EReadError and the
// pages read before the damage stay in `into`.
void ReadRenderedPages(
    const QByteArray& bytes, TPagesFileKind kind, TRenderedPages& into, const TPagesProgress& progress = {});
// EFOpenError when the file cannot be opened.
void LoadRenderedPages(const QString& fileName, TRenderedPages& into, const TPagesProgress& progress = {});

extern const QString kStreamReadError; // "Stream read error"
extern const QString kWindowsMetafilePages; // a file of the Windows program
