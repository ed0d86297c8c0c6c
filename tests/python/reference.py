"""Plain reference procedures in Python, written from the definitions, over contexts given as
name lists and rows of booleans. Slow and obviously right; they return names, as the module
does, so that whole results can be compared element by element."""


def _extent(rows, b):
    return [i for i, r in enumerate(rows) if all(r[j] for j in b)]


def _intent(rows, a, m):
    return [j for j in range(m) if all(rows[i][j] for i in a)]


def _closure(rows, b, m):
    return _intent(rows, _extent(rows, b), m)


def _named(objects, attributes, extent, intent):
    return {"extent": [objects[i] for i in extent], "intent": [attributes[j] for j in intent]}


def brute_force(objects, attributes, rows):
    """Every concept, by closing every attribute subset, as a sorted list (no order claimed)."""
    m = len(attributes)
    intents = {
        tuple(_closure(rows, [j for j in range(m) if mask >> j & 1], m)) for mask in range(1 << m)
    }
    return sorted(_key(_named(objects, attributes, _extent(rows, b), b)) for b in intents)


def _key(concept):
    return (concept["extent"], concept["intent"])


def as_sorted(concepts):
    """A result as brute_force lists it."""
    return sorted(_key(c) for c in concepts)


def next_closure(objects, attributes, rows):
    """All concepts, intents in lectic order (attribute 0 most significant)."""
    m = len(attributes)
    a = _closure(rows, [], m)
    out = [_named(objects, attributes, _extent(rows, a), a)]
    while True:
        for i in reversed(range(m)):
            if i in a:
                continue
            c = _closure(rows, [x for x in a if x < i] + [i], m)
            if any(x < i and x not in a for x in c):
                continue
            a = c
            out.append(_named(objects, attributes, _extent(rows, a), a))
            break
        else:
            return out


def close_by_one(objects, attributes, rows):
    """All concepts in the depth-first pre-order of FCbO and In-Close5."""
    m = len(attributes)
    out = []

    def visit(extent, intent, y):
        out.append(_named(objects, attributes, extent, intent))
        for j in range(y, m):
            if j in intent:
                continue
            c = [i for i in extent if rows[i][j]]
            d = _intent(rows, c, m)
            if any(x < j and x not in intent for x in d):
                continue
            visit(c, d, j + 1)

    top = list(range(len(objects)))
    visit(top, _intent(rows, top, m), 0)
    return out


def canonical_base(objects, attributes, rows):
    """The Duquenne-Guigues base by Ganter's procedure, premises in lectic order."""
    m = len(attributes)
    base = []
    a = []
    while True:
        c = _closure(rows, a, m)
        if c != a:
            base.append((a, c, len(_extent(rows, a))))
        for i in reversed(range(m)):
            if i in a:
                continue
            t = set(x for x in a if x < i) | {i}
            grew = True
            while grew:
                grew = False
                for p, q, _ in base:
                    if set(p) <= t and not set(q) <= t:
                        t |= set(q)
                        grew = True
            if any(x < i and x not in a for x in t):
                continue
            a = sorted(t)
            break
        else:
            return [
                {
                    "premise": [attributes[j] for j in p],
                    "conclusion": [attributes[j] for j in q],
                    "support": s,
                    "confidence": 1.0,
                }
                for p, q, s in base
            ]
