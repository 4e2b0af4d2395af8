#include "foundation/ui/controls/StrHolder.h"

#include "platform/Codec.h"
#include "platform/Exceptions.h"

QString XorString(const QString& line, const QString& key)
{
    if (key.isEmpty() || line.isEmpty())
        return line;
    const QByteArray l = ToCp1251(line);
    const QByteArray k = ToCp1251(key);
    QString out;
    out.reserve(l.size());
    for (int i = 0; i < l.size(); ++i)
        out += Cp1251ToChar(static_cast<unsigned char>(l[i] ^ k[i % k.size()]));
    return out;
}

Tyq_StrHolder::Tyq_StrHolder(QObject* parent) : QObject(parent) { setObjectName(QStringLiteral("Tyq_StrHolder")); }

Tyq_StrHolder::~Tyq_StrHolder()
{
    // No change notice may reach a handler while the lines go.
    OnChanging = nullptr;
    OnChange = nullptr;
}

template <typename F> void Tyq_StrHolder::Change(F&& f)
{
    if (!reading_ && OnChanging)
        OnChanging(this);
    f();
    if (!reading_ && OnChange)
        OnChange(this);
}

void Tyq_StrHolder::SetStrings(const QStringList& lines)
{
    const QStringList copy = lines; // the source may be our own list
    Change([&] { strings_ = copy; });
}

void Tyq_StrHolder::Add(const QString& line)
{
    Change([&] { strings_.append(line); });
}

void Tyq_StrHolder::Insert(int index, const QString& line)
{
    if (index < 0 || index > strings_.size())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    Change([&] { strings_.insert(index, line); });
}

void Tyq_StrHolder::Delete(int index)
{
    if (index < 0 || index >= strings_.size())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    Change([&] { strings_.removeAt(index); });
}

void Tyq_StrHolder::SetLine(int index, const QString& line)
{
    if (index < 0 || index >= strings_.size())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    Change([&] { strings_[index] = line; });
}

void Tyq_StrHolder::Clear()
{
    Change([&] { strings_.clear(); });
}

void Tyq_StrHolder::AddStringsTo(Tyq_StrHolder& target) const
{
    const QStringList copy = strings_;
    target.Change([&] { target.strings_.append(copy); });
}

void Tyq_StrHolder::AddStringsTo(QObject* target) const
{
    if (auto* holder = qobject_cast<Tyq_StrHolder*>(target)) {
        AddStringsTo(*holder);
        return;
    }
    throw EAppException(QStringLiteral("Cannot add to not TStrings"));
}

QStringList Tyq_StrHolder::StrData() const
{
    QStringList data{key_};
    for (const QString& line : strings_)
        data << XorString(line, key_);
    return data;
}

void Tyq_StrHolder::SetStrData(const QStringList& data)
{
    reading_ = true;
    key_ = data.isEmpty() ? QString() : data.first();
    strings_.clear();
    for (int i = 1; i < data.size(); ++i)
        strings_ << XorString(data[i], key_);
    reading_ = false;
}
