#include "NetworkTestSupport.h"

#include <merovantia/MFAuthRequestManager.h>
#include <merovantia/MFRequestManager.h>

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>

namespace {

QByteArray fixture(const char *name) {
    QFile file(QStringLiteral(QV_BACKEND_CLIENT_FIXTURES "/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A TLS server on 127.0.0.1 with a self-signed certificate nobody trusts.
class UntrustedServerTest : public BackendTest {
protected:
    void SetUp() override {
        BackendTest::SetUp();
        if (!QSslSocket::supportsSsl())
            GTEST_SKIP() << "no TLS backend in this Qt";
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(QSslCertificate(fixture("selfsigned-cert.pem")));
        configuration.setPrivateKey(QSslKey(fixture("selfsigned-key.pem"), QSsl::Rsa));
        ASSERT_FALSE(configuration.localCertificate().isNull());
        ASSERT_FALSE(configuration.privateKey().isNull());
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        m_server.setSslConfiguration(configuration);
        QObject::connect(&m_server, &QSslServer::startedEncryptionHandshake, &m_server,
                         [this](QSslSocket *) { ++m_connections; });
        QObject::connect(&m_server, &QSslServer::pendingConnectionAvailable, &m_server, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    // Reached only when a client accepted the certificate.
                    m_plainRequests += socket->readAll().size();
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
                                  "31\r\n\r\n{\"config\":1,\"data\":1,\"ok\":true}");
                });
            }
        });
        ASSERT_TRUE(m_server.listen(QHostAddress::LocalHost));
        const QUrl url(QStringLiteral("https://127.0.0.1:%1").arg(m_server.serverPort()));
        platform::BackendConfig::overrideHost("QV_CLIENT_HOST", url);
        platform::BackendConfig::overrideHost("QV_ACCOUNT_HOST", url);
    }

    QSslServer m_server;
    int m_connections = 0;
    qint64 m_plainRequests = 0;
};

TEST_F(UntrustedServerTest, ApplicationRequestsRefuseAnUntrustedCertificate) {
    CallRecord<const QVariant &, const platform::Error &> calls;
    MFRequestManager::sharedRequestManager().getConfigInBackgroundWithBlock(calls.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return calls.count > 0; }));
    qvtest::spin(50);
    EXPECT_EQ(calls.count, 1);
    EXPECT_GE(m_connections, 1);
    EXPECT_EQ(m_plainRequests, 0);
    EXPECT_EQ(calls.arg<1>().domain(), QStringLiteral("NSURLErrorDomain"));
    EXPECT_EQ(calls.arg<1>().code(), -1202);
    EXPECT_FALSE(calls.arg<0>().isValid());
}

TEST_F(UntrustedServerTest, AccountRequestsRefuseAnUntrustedCertificate) {
    CallRecord<const QVariant &> success;
    CallRecord<const platform::Error &> failure;
    MFAuthRequestManager::instance().loginWithEmail("a", "b", "c", "d", success.block(), failure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
    qvtest::spin(50);
    EXPECT_EQ(success.count, 0);
    EXPECT_EQ(failure.count, 1);
    EXPECT_EQ(m_plainRequests, 0);
    EXPECT_EQ(failure.arg<0>().code(), -1202);
}

} // namespace
