"""Reads back what a quillmoss-report page shows: rows, lanes, activity, icons, notice.
Standard library only; shared by the report's end-to-end tests."""

import html.parser
import re


class Page(html.parser.HTMLParser):
    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.raw = text
        self.rows = []        # dicts: key, seconds, share, width, name, name_is_key, icon, domain
        self.lanes = {}       # key -> [(start, end)]
        self.activity = []    # [(start, end)]
        self.notice = self.total = None
        # What the open elements make of what is inside them; each end tag restores it.
        self._state = {"row": None, "lane": None, "text": None, "domain": False}
        self._stack = []
        self.feed(text)
        self.close()

    def handle_starttag(self, tag, attrs):
        a, state = dict(attrs), self._state
        self._stack.append((tag, dict(state)))
        classes, row = (a.get("class") or "").split(), state["row"]
        if tag == "ol" and "domains" in classes:
            state["domain"] = True
        elif tag == "p" and "total" in classes:
            self.total = float(a["data-seconds"])
        elif tag == "p" and "notice" in classes:
            self.notice, state["text"] = "", "notice"
        elif tag == "div" and "row" in classes:
            state["row"] = {"key": a["data-key"], "seconds": float(a["data-seconds"]),
                            "share": float(a["data-share"]), "name": "", "name_is_key": False,
                            "icon": None, "domain": state["domain"], "width": None}
            self.rows.append(state["row"])
        elif row and tag == "span" and "name" in classes:
            state["text"] = "name"
        elif row and tag == "code" and state["text"] == "name":
            row["name_is_key"] = True
        elif row and tag == "span" and "fill" in classes:
            row["width"] = float(re.fullmatch(r"width:([\d.]+)%", a["style"]).group(1))
        elif row and tag == "img":
            row["icon"] = a["src"]
        elif tag == "div" and "lane" in classes:
            state["lane"] = self.lanes.setdefault(a["data-key"], [])
        elif tag == "div" and "activity" in classes:
            state["lane"] = self.activity
        elif tag == "i" and state["lane"] is not None:
            state["lane"].append((float(a["data-s"]), float(a["data-e"])))

    def handle_endtag(self, tag):
        while self._stack:
            open_tag, self._state = self._stack.pop()
            if open_tag == tag:
                break

    def handle_data(self, data):
        if self._state["text"] == "name":
            self._state["row"]["name"] += data
        elif self._state["text"] == "notice":
            self.notice += data
