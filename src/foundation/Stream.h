#pragma once
// Byte streams: the small stream interface that stored objects read and
// write themselves through, a memory stream over a QByteArray (BLOB fields
// come and go as whole byte arrays) and a file stream over a QFile.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream();

    // As many bytes as are there, up to count; the number moved.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // The new position. A position before the start raises EStreamError.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size() const = 0;
    // Cuts or extends (with zeros) the stream.
    virtual void SetSize(int64_t newSize) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }

    // Exactly count bytes, else EReadError "Stream read error".
    void ReadBuffer(void* buffer, int64_t count);
    // Exactly count bytes, else EWriteError "Stream write error".
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from the source's position (the whole source from
    // its start when count is 0); the number copied.
    int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    // The stream holds a copy of the bytes, positioned at the start.
    explicit TMemoryStream(const QByteArray& bytes) : data_(bytes) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() const override { return data_.size(); }
    void SetSize(int64_t newSize) override;

    const QByteArray& Bytes() const { return data_; }
    // Replaces the content and goes to the start.
    void SetBytes(const QByteArray& bytes);
    void Clear() { SetBytes(QByteArray()); }

private:
    QByteArray data_;
    int64_t position_ = 0;
};

enum TFileMode : unsigned {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    // Creates the file, or empties an existing one, for reading and writing.
    fmCreate = 0xFF00,
    // Sharing is settled by the data folder's lock file; these are accepted
    // and ignored.
    fmShareCompat = 0x0000,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyRead = 0x0030,
    fmShareDenyNone = 0x0040,
};

class TFileStream : public TStream {
public:
    // Raises EFCreateError "Cannot create file \"%s\". %s" or EFOpenError
    // "Cannot open file \"%s\". %s" with the system's reason.
    TFileStream(const QString& fileName, unsigned mode);
    ~TFileStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() const override;
    void SetSize(int64_t newSize) override;

    const QString& FileName() const { return fileName_; }

private:
    QString fileName_;
    QFile file_;
};
