#include "platform/durablefile.h"

bool DurableFile::fail()
{
    if (m_error == QFileDevice::NoError) {
        m_error =
            m_file.error() != QFileDevice::NoError ? m_file.error() : QFileDevice::UnspecifiedError;
        m_errorString = m_file.errorString();
    }
    cancel();
    return false;
}

bool DurableFile::open()
{
    return m_file.open(QIODevice::WriteOnly) || fail();
}

bool DurableFile::write(const char* data, qint64 length)
{
    return (m_file.isOpen() && m_file.write(data, length) == length) || fail();
}

bool DurableFile::commit()
{
    if (!m_file.isOpen() || !m_file.flush())
        return fail();
    return m_file.commit() || fail();
}

void DurableFile::cancel()
{
    if (m_file.isOpen())
        m_file.cancelWriting();
}

bool WriteFileDurably(const QString& path, const QByteArray& contents,
                      QFileDevice::FileError* outError)
{
    DurableFile file(path);
    const bool written = file.open() && file.write(contents) && file.commit();
    if (outError)
        *outError = file.error();
    return written;
}
