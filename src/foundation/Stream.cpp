#include "foundation/Stream.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace {

[[noreturn]] void SeekError() { throw EStreamError(QStringLiteral("Stream seek error")); }

// base + offset, refusing overflow and positions before the start.
int64_t Target(int64_t base, int64_t offset)
{
    if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset)
        || (offset < 0 && base < std::numeric_limits<int64_t>::min() - offset))
        SeekError();
    const int64_t target = base + offset;
    if (target < 0)
        SeekError();
    return target;
}

} // namespace

// ---------------------------------------------------------------- TStream

TStream::~TStream() = default;

void TStream::ReadBuffer(void* buffer, int64_t count)
{
    if (count != 0 && (count < 0 || Read(buffer, count) != count))
        throw EReadError(QStringLiteral("Stream read error"));
}

void TStream::WriteBuffer(const void* buffer, int64_t count)
{
    if (count != 0 && (count < 0 || Write(buffer, count) != count))
        throw EWriteError(QStringLiteral("Stream write error"));
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr int64_t Chunk = 64 * 1024;
    QByteArray buffer(static_cast<qsizetype>(std::min(count, Chunk)), '\0');
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min(left, Chunk);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.constData(), n);
        left -= n;
    }
    return count;
}

// ---------------------------------------------------------------- TMemoryStream

int64_t TMemoryStream::Read(void* buffer, int64_t count)
{
    const int64_t size = data_.size();
    if (count <= 0 || position_ >= size)
        return 0;
    const int64_t n = std::min(count, size - position_);
    std::memcpy(buffer, data_.constData() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    if (count > std::numeric_limits<qsizetype>::max() - position_)
        return 0;
    const int64_t end = position_ + count;
    if (end > data_.size()) {
        try {
            SetSize(end);
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    switch (origin) {
    case TSeekOrigin::soBeginning: position_ = Target(0, offset); break;
    case TSeekOrigin::soCurrent: position_ = Target(position_, offset); break;
    case TSeekOrigin::soEnd: position_ = Target(data_.size(), offset); break;
    }
    return position_;
}

void TMemoryStream::SetSize(int64_t newSize)
{
    if (newSize < 0)
        throw EStreamError(QStringLiteral("Stream size error (%1)").arg(newSize));
    const int64_t oldSize = data_.size();
    data_.resize(static_cast<qsizetype>(newSize));
    // QByteArray leaves grown bytes undefined; a stream extends with zeros.
    if (newSize > oldSize)
        std::memset(data_.data() + oldSize, 0, static_cast<size_t>(newSize - oldSize));
    if (position_ > newSize)
        position_ = newSize;
}

void TMemoryStream::SetBytes(const QByteArray& bytes)
{
    data_ = bytes;
    position_ = 0;
}

// ---------------------------------------------------------------- TFileStream

TFileStream::TFileStream(const QString& fileName, unsigned mode) : fileName_(fileName), file_(fileName)
{
    if ((mode & 0xFFFF) == fmCreate) {
        if (!file_.open(QIODevice::ReadWrite | QIODevice::Truncate))
            throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file_.errorString()));
        return;
    }
    // Qt's WriteOnly would empty the file: an existing file opened for
    // writing keeps its content, as the old runtime did.
    QIODevice::OpenMode qtMode = QIODevice::ReadOnly;
    switch (mode & 3) {
    case fmOpenWrite:
    case fmOpenReadWrite: qtMode = QIODevice::ReadWrite | QIODevice::ExistingOnly; break;
    default: break;
    }
    if (!file_.open(qtMode))
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file_.errorString()));
}

TFileStream::~TFileStream() = default;

int64_t TFileStream::Read(void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    const qint64 n = file_.read(static_cast<char*>(buffer), count);
    return n < 0 ? 0 : n;
}

int64_t TFileStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    const qint64 n = file_.write(static_cast<const char*>(buffer), count);
    return n < 0 ? 0 : n;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    int64_t target = 0;
    switch (origin) {
    case TSeekOrigin::soBeginning: target = Target(0, offset); break;
    case TSeekOrigin::soCurrent: target = Target(file_.pos(), offset); break;
    case TSeekOrigin::soEnd: target = Target(file_.size(), offset); break;
    }
    if (target != file_.pos() && !file_.seek(target))
        SeekError();
    return target;
}

int64_t TFileStream::Size() const { return file_.size(); }

void TFileStream::SetSize(int64_t newSize)
{
    if (newSize < 0 || !file_.resize(newSize))
        throw EStreamError(QStringLiteral("Stream size error (%1)").arg(newSize));
    if (file_.pos() > newSize)
        file_.seek(newSize);
}
