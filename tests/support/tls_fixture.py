"""HTTPS for the loopback servers of http_fixture.py: `serve_tls(server, pem)` makes a running
LoopbackServer (or anything built on it) answer only over TLS with the certificate and key in
`pem` (the test PKI of build/<arch>/test-pki), and counts the TCP connections it accepts in
`server.accepted`, so a test can tell that a refused certificate cost one handshake and no more.
The handshake runs in the request's own thread: a client that refuses it blocks nothing, and the
error it leaves is not printed.
"""
import ssl
import threading


def serve_tls(server, pem):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(pem)
    httpd = server.httpd
    # Done right after the server is made, before any client knows its port.
    httpd.socket = context.wrap_socket(httpd.socket, server_side=True, do_handshake_on_connect=False)
    server.tls = pem
    server.accepted = 0
    lock = threading.Lock()
    accept = httpd.get_request

    def counted_accept():
        request = accept()
        with lock:
            server.accepted += 1
        return request

    httpd.get_request = counted_accept
    httpd.handle_error = lambda request, address: None
    return server
