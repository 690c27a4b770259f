#pragma once

#include <QString>

// The title row of one section of a language list. A hidden header (isShow
// false) takes no room; it stands above the auto-detection entry.
class OTHeader {
public:
    OTHeader() = default;
    explicit OTHeader(const QString &title) : m_headerTitle(title) {}
    OTHeader(const QString &title, bool isShow) : m_headerTitle(title), m_isShow(isShow) {}

    QString headerTitle() const { return m_headerTitle; }
    void setHeaderTitle(const QString &title) { m_headerTitle = title; }
    bool isShow() const { return m_isShow; }
    void setIsShow(bool show) { m_isShow = show; }

    bool operator==(const OTHeader &other) const {
        return m_headerTitle == other.m_headerTitle && m_isShow == other.m_isShow;
    }

private:
    QString m_headerTitle;
    bool m_isShow = true;
};
