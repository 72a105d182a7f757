# The session server's script of one night for the store STORE12 (password store-secret, FTP
# account store12 on 127.0.0.1), up to the client's report on the Mission Pack night.zip and the
# server's E08. Sourced by the demonstration, the package check and the slow-line bench.
night_script() { # client version, FTP port[, FTP host, report expected, seconds it may take]
    cat <<SCRIPT
ignore STORE12E00
timeout 60
expect STORE12E01store-secret
send E011
expect STORE12E02$1
send E02
expect STORE12E20
send E20store12
expect STORE12E21
send E21ftp-secret
expect STORE12E22
send E22${3:-127.0.0.1}:$2
expect STORE12E23
send E23store12
expect STORE12E10
send E13
expect STORE12E30default
send E30night.zip
timeout ${5:-600}
expect STORE12${4:-E31}
send E08
SCRIPT
}
