#pragma once
// A holder of text lines with a key: the lines are kept as they are and
// stored (StrData) combined with the key, a line at a time.

#include "foundation/ui/base/UiTypes.h"

#include <QObject>
#include <QStringList>

// Combines each character of the line with the repeating key by exclusive
// or, on their CP1251 codes. The same call undoes it. An empty key or line
// leaves the line as it is.
QString XorString(const QString& line, const QString& key);

class Tyq_StrHolder : public QObject {
    Q_OBJECT
public:
    explicit Tyq_StrHolder(QObject* parent = nullptr);
    ~Tyq_StrHolder() override;

    const QStringList& Strings() const { return strings_; }
    // Copies the lines (one change).
    void SetStrings(const QStringList& lines);
    QString KeyString() const { return key_; }
    void SetKeyString(const QString& key) { key_ = key; }
    int Count() const { return static_cast<int>(strings_.size()); }
    int Capacity() const { return static_cast<int>(strings_.capacity()); }
    void SetCapacity(int value) { strings_.reserve(value); }

    void Add(const QString& line);
    void Insert(int index, const QString& line);
    void Delete(int index);
    void SetLine(int index, const QString& line);
    void Clear();

    void Assign(const QStringList& lines) { SetStrings(lines); }
    void Assign(const Tyq_StrHolder& other) { SetStrings(other.strings_); }
    void AssignTo(QStringList& target) const { target = strings_; }
    // Adds the lines to a list or another holder.
    void AddStringsTo(QStringList& target) const { target.append(strings_); }
    void AddStringsTo(Tyq_StrHolder& target) const;
    // Any other target raises "Cannot add to not TStrings".
    void AddStringsTo(QObject* target) const;

    // The stored form: the key, then every line after XorString. Setting it
    // (reading a stored holder) fires no change events.
    QStringList StrData() const;
    void SetStrData(const QStringList& data);

    TQtNotifyEvent OnChanging;
    TQtNotifyEvent OnChange;

private:
    template <typename F> void Change(F&& f);

    QStringList strings_;
    QString key_;
    bool reading_ = false;
};
