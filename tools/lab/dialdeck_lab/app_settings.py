"""The application's settings file, written for a lab run.

Key names and values in config/Config.ini are scrambled with the application's
keyed stream scrambler (its own inverse); section names stay plain. This must
stay byte-for-byte equal to the application's scrambler (app/settings/).
"""

import os
import tempfile

KEY = b"quorbel"
STATE_SIZE = 20
VALUE_LIMIT = 1999


def _signed(byte):
    return byte - 256 if byte > 127 else byte


def scramble(data, key=KEY):
    """Scrambles or restores bytes (str is taken as UTF-8); returns bytes."""
    if isinstance(data, str):
        data = data.encode("utf-8")
    if isinstance(key, str):
        key = key.encode("utf-8")
    if not key:
        return bytes(data)
    s = list(range(STATE_SIZE))
    j = 0
    for i in range(STATE_SIZE):
        # Python's % is never negative, as the state index must be.
        j = (s[i] + _signed(key[i % len(key)]) + j) % STATE_SIZE
        s[i], s[j] = s[j], s[i]
    out = bytearray()
    i = j = 0
    for byte in data:
        i = (i + 1) % STATE_SIZE
        j = (s[i] + j) % STATE_SIZE
        s[i], s[j] = s[j], s[i]
        k = s[(s[i] + s[j]) % STATE_SIZE]
        out.append(byte if k == _signed(byte) else byte ^ k)
    return bytes(out)


def _lines(data):
    for line in data.split(b"\n"):
        yield line[:-1] if line.endswith(b"\r") else line


def _header(line):
    close = line.find(b"]")
    if line.startswith(b"[") and close > 0 and b"=" not in line[:close]:
        return line[1:close]
    return None


def read_value(data, section, key):
    """The plain value of a plain key, read as the application reads it."""
    wanted = section.encode("ascii").lower()
    prefix = scramble(key).lower() + b"="
    inside = seen = False
    for line in _lines(data):
        name = _header(line)
        if name is not None:
            if seen:
                break
            inside = seen = name.lower() == wanted
        elif inside and line[:len(prefix)].lower() == prefix:
            return scramble(line[len(prefix):][:VALUE_LIMIT]).decode("utf-8", "replace")
    return ""


def config_text(sections):
    """INI bytes (CR LF lines) from [(section, [(key, plain value), ...]), ...]."""
    out = bytearray()
    for section, pairs in sections:
        out += b"[" + section.encode("ascii") + b"]\r\n"
        for key, value in pairs:
            scrambled_value = scramble(value)
            if any(byte < 0x20 for byte in scrambled_value):
                raise ValueError("control characters in %s" % key)
            out += scramble(key) + b"=" + scrambled_value + b"\r\n"
        out += b"\r\n"
    return bytes(out)


def write_private_file(path, data):
    """Writes the file through a temporary file and a rename, mode 0600."""
    folder = os.path.dirname(path) or "."
    handle, temporary = tempfile.mkstemp(dir=folder, prefix=os.path.basename(path) + ".tmp-")
    try:
        with os.fdopen(handle, "wb") as stream:
            stream.write(data)
            stream.flush()
            os.fsync(stream.fileno())
        os.chmod(temporary, 0o600)
        os.replace(temporary, path)
    except BaseException:
        if os.path.exists(temporary):
            os.unlink(temporary)
        raise


def _button_dressing(address, http_port):
    base = "http://%s:%d" % (address, http_port)
    groups = [
        (10, 264, 80, 24, "Account", base + "/account?pin=[pinNumber]"),
        (100, 264, 80, 24, "Balance", base + "/balance?pin=[pinNumber]"),
        (190, 264, 80, 24, "Rates", base + "/rates"),
        (0, 0, 0, 0, "Button4", ""),
        (0, 0, 0, 0, "Button5", ""),
        (0, 0, 0, 0, "Button6", ""),
    ]
    fields = [str(field) for group in groups for field in group]
    # The "Start Call Timer" button stays hidden: the call timer runs by itself.
    fields += ["0", "0", "0", "0", "Start Call Timer"]
    return ",".join(fields)


def _window_dressing():
    # The phone at its skins' own size, so they are drawn unstretched.
    fields = ["300", "370", "Dialdeck", "275", "190",      # window, caption, phone size
              "10", "196", "280", "60",                    # advertisement place and size
              "236", "233", "216",                         # background
              "1", "1", "1", "1", "1", "1", "1",           # menu entries
              "1", "10", "296",                            # date and time line
              "1", "10", "332",                            # call duration line
              "1", "10", "314",                            # account line
              "0", "0", "0",                               # label text colour
              "1", "1", "1", "1"]                          # recent list, account pages
    return ",".join(fields)


def lab_sections(address="127.0.0.1", mgcp_port=2727, directory_port=2740, https_port=2743,
                 http_port=2780, owner_key="DialdeckLab", ca_file="", login=True):
    """The settings of an application that uses the lab at address; without login
    the program starts straight at the phone (no log-on dialog, no PIN check)."""
    web = "http://%s:%d" % (address, http_port)
    dialdeck = [
        ("AboutDressing", "About Dialdeck,Dialdeck,Operator lab on %s" % address),
        ("Advertisements", ""),
        ("ButtonDressing", _button_dressing(address, http_port)),
        ("ContactsDressing", "236,233,216"),
        ("Icon", ""),
        ("Idle", "0"),
        ("LoginOptions", ("1" if login else "0") + ",1,0,1"),
        ("LDAP", "1,%s,%d" % (address, directory_port)),
        # Stored reversed and letter-coded: accounts beginning 219 or 500.
        ("Prefix", "ZIH,JJ5"),
        ("State", ""),
        ("Timer", "0"),
        ("URLAccount", web + "/account?pin=[pinNumber]"),
        ("URLBalance", web + "/balance?pin=[pinNumber]"),
        ("URLRates", web + "/rates"),
        ("URLUpdate", web + ";version.xml"),
        ("UpdateEnable", "true"),
        ("URLDownload", web + "/download"),
        ("WindowDressing", _window_dressing()),
        ("PINHost", "%s:%d" % (address, https_port)),
        ("PINFile", "verify"),
        ("PINEnable", "true"),
        ("OwnerKey", owner_key),
        ("Flavor", "lab"),
        ("FlavorEnable", "false"),
        ("CallDurationFormat", "HH:MM:SS"),
        ("CAFile", ca_file),
    ]
    phone = [
        ("Port", str(mgcp_port)),
        ("SampleSize", "160"),
        ("AllowSimultaneous", "false"),
        ("AudioInputSampleSize", "20"),
        ("AuditEndpointTimeout", "0"),
        # The light skin drawn for the registered default layout.
        ("BackgroundBMP", "Dialdeck_bg.bmp"),
        ("BackgroundDownBMP", "Dialdeck_dn.bmp"),
        ("ButtonTextColor", "#000000"),
        ("StatusTextColor", "#000000"),
        ("Layout", "  0,  81, 72, 43|104,  45, 50, 30|161,  45, 50, 30|218,  45, 50, 30|"
                   "104,  81, 50, 30|161,  81, 50, 30|218,  81, 50, 30|104, 117, 50, 30|"
                   "161, 117, 50, 30|218, 117, 50, 30|104, 154, 50, 30|161, 154, 50, 30|"
                   "218, 154, 50, 30|239,   7, 14, 12|253,   7, 14, 12|  0,   0,  0,  0|"
                   "107,   6,127, 17|150,  24,111, 11|107,  22, 41, 14| 13, 138, 50, 12|"
                   " 15, 155, 50, 12|  0,   0,  5, 12"),
        ("CallerIDName", ""),
        ("CallerIDNumber", ""),
        ("CallManager", address),
        ("CASAccount", ""),
        ("CASPin", ""),
        ("IPPhoneNumber", ""),
        ("JitterBufferSize", "60"),
        ("JitterBufferThreshold", "40"),
        ("MGCPPort", "2427"),
        # Not naming the engine: the keypad dials, nothing is called at log-on.
        ("Mode", "dialdeck"),
        ("NATProxyAddress", ""),
        ("NATProxyPort", "0"),
        ("OverRideANI", "false"),
        ("ParametersToExpect", "0x7FFFF"),
        ("PhoneNumber", "0"),
        ("QOSSetting", "0"),
        ("VXLConfigFlags", "0x29"),
    ]
    # The lab's own pictures; HTTPS only when the application trusts the lab's CA.
    pictures = ("https://%s:%d/ads/" % (address, https_port) if ca_file else web + "/ads/")
    ads = [("Ad001", pictures + "animated.gif,20," + web + "/rates"),
           ("Ad002", pictures + "still.bmp,10," + web + "/balance")]
    return [("Dialdeck", dialdeck), ("Phone", phone), ("Ads", ads)]


def write_app_folder(folder, **lab):
    """Writes config/Config.ini and an empty recent-number file below folder."""
    os.makedirs(os.path.join(folder, "config"), exist_ok=True)
    config = os.path.join(folder, "config", "Config.ini")
    write_private_file(config, config_text(lab_sections(**lab)))
    recent = os.path.join(folder, "ayahuasca.dat")
    if not os.path.exists(recent):
        write_private_file(recent, b"")
    return config
