"""The lab's subscribers: account, PIN, the nine look-up fields (0 first
name, 1 last name, 2 number, 7 key, 8 group) and the server-side contact
list. Read from a JSON file (--accounts) or the demo set; the directory
server and the PIN page share one store."""

import json
import threading

LOOKUP_FIELDS = 9
NUMBER, KEY, GROUP = 2, 7, 8
MAX_CONTACTS = 500
# Separators of the account record, the directory's items and fields.
FORBIDDEN = set(",|:[]")

DEMO = [
    {"account": "2191001", "pin": "1234",
     "fields": ["Alma", "Berg", "7001", "0", "alma@lab.invalid", "1", "", "K7001", "lab"],
     "contacts": ["7002", "600"]},
    {"account": "2191002", "pin": "2345",
     "fields": ["Boris", "Chan", "7002", "0", "boris@lab.invalid", "1", "", "K7002", "lab"],
     "contacts": ["7001"]},
    {"account": "2191003", "pin": "3456",
     "fields": ["Alba", "Diaz", "7003", "0", "alba@lab.invalid", "1", "", "K7003", "lab"],
     "contacts": []},
    {"account": "5001004", "pin": "4567",
     "fields": ["Carla", "Engel", "7004", "0", "carla@lab.invalid", "1", "", "K7004", "other"],
     "contacts": []},
]


class Subscriber:
    def __init__(self, account, pin, fields, contacts):
        self.account = account
        self.pin = pin
        self.fields = list(fields)
        self.contacts = list(contacts)

    @property
    def number(self):
        return self.fields[NUMBER]

    def lookup_item(self):
        return ":".join(self.fields)


def _clean(text, what, empty_ok=True):
    if not isinstance(text, str):
        raise ValueError("%s is not text" % what)
    if not empty_ok and not text:
        raise ValueError("%s is empty" % what)
    if any(c in FORBIDDEN or ord(c) < 0x20 or ord(c) == 0x7f for c in text):
        raise ValueError("%s holds a separator or control character: %r" % (what, text))
    return text


def _subscriber(entry, index):
    if not isinstance(entry, dict):
        raise ValueError("subscriber %d is not an object" % index)
    where = "subscriber %d" % index
    fields = entry.get("fields")
    if not isinstance(fields, list) or len(fields) != LOOKUP_FIELDS:
        raise ValueError("%s needs \"fields\": a list of %d texts" % (where, LOOKUP_FIELDS))
    for n, field in enumerate(fields):
        _clean(field, "%s field %d" % (where, n))
    _clean(fields[NUMBER], "%s number" % where, empty_ok=False)
    contacts = entry.get("contacts", [])
    if not isinstance(contacts, list) or len(contacts) > MAX_CONTACTS:
        raise ValueError("%s: \"contacts\" is a list of at most %d numbers" % (where, MAX_CONTACTS))
    return Subscriber(_clean(entry.get("account"), "%s account" % where, empty_ok=False),
                      _clean(entry.get("pin", ""), "%s pin" % where), fields,
                      [_clean(c, "%s contact" % where, empty_ok=False) for c in contacts])


class SubscriberStore:
    """Every method takes the lock: the services run on their own threads."""

    def __init__(self, entries=DEMO):
        self._lock = threading.Lock()
        self._subscribers = [_subscriber(e, i) for i, e in enumerate(entries)]

    @classmethod
    def from_file(cls, path):
        """Raises OSError or ValueError with the reason."""
        with open(path, encoding="utf-8") as handle:
            data = json.load(handle)
        if isinstance(data, dict):
            data = data.get("subscribers")
        if not isinstance(data, list):
            raise ValueError("%s: a list of subscribers, or {\"subscribers\": [...]}" % path)
        return cls(data)

    def by_account(self, account):
        with self._lock:
            return next((s for s in self._subscribers if s.account == account), None)

    def by_number(self, number):
        with self._lock:
            return next((s for s in self._subscribers if s.number == number), None)

    def check_pin(self, account, pin):
        subscriber = self.by_account(account)
        return subscriber is not None and subscriber.pin == pin

    def check_key(self, number, key):
        subscriber = self.by_number(number)
        return subscriber is not None and subscriber.fields[KEY] == key

    def search(self, first_prefix, last_prefix, group, limit):
        """Name prefixes, without regard to case, within one group."""
        first_prefix, last_prefix = first_prefix.lower(), last_prefix.lower()
        with self._lock:
            found = [s for s in self._subscribers
                     if s.fields[GROUP] == group and s.fields[0].lower().startswith(first_prefix)
                     and s.fields[1].lower().startswith(last_prefix)]
        return found[:max(0, limit)]

    def contacts_of(self, number):
        """The subscriber's list, or None for an unknown number."""
        with self._lock:
            subscriber = next((s for s in self._subscribers if s.number == number), None)
            return None if subscriber is None else list(subscriber.contacts)

    def add_contact(self, number, phone):
        """False for an unknown subscriber, a bad number or a full list."""
        try:
            _clean(phone, "number", empty_ok=False)
        except ValueError:
            return False
        with self._lock:
            subscriber = next((s for s in self._subscribers if s.number == number), None)
            if subscriber is None:
                return False
            if phone not in subscriber.contacts:
                if len(subscriber.contacts) >= MAX_CONTACTS:
                    return False
                subscriber.contacts.append(phone)
            return True
