"""Reads back what a quillmoss-report page shows: rows, lanes, activity, icons, notice.
Standard library only; shared by the report's end-to-end tests."""

import html.parser
import re


class Page(html.parser.HTMLParser):
    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.rows = []        # dicts: key, seconds, share, width, name, name_is_key, icon, domain
        self.lanes = {}       # key -> [(start, end)]
        self.activity = []    # [(start, end)]
        self.notice = None
        self.total = None
        self._stack = []
        self._row = None
        self._lane = None
        self._in_domains = 0
        self._text_target = None
        self.feed(text)
        self.close()

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        classes = (a.get("class") or "").split()
        self._stack.append((tag, classes))
        if tag == "ol" and "domains" in classes:
            self._in_domains += 1
        if tag == "p" and "total" in classes:
            self.total = float(a["data-seconds"])
        if tag == "p" and "notice" in classes:
            self.notice = ""
            self._text_target = "notice"
        if tag == "div" and "row" in classes:
            self._row = {"key": a["data-key"], "seconds": float(a["data-seconds"]),
                         "share": float(a["data-share"]), "name": "", "name_is_key": False,
                         "icon": None, "domain": self._in_domains > 0, "width": None}
            self.rows.append(self._row)
        if self._row is not None:
            if tag == "span" and "name" in classes:
                self._text_target = "name"
            if tag == "code" and self._text_target == "name":
                self._row["name_is_key"] = True
            if tag == "span" and "fill" in classes:
                self._row["width"] = float(re.fullmatch(r"width:([\d.]+)%", a["style"]).group(1))
            if tag == "img":
                self._row["icon"] = a["src"]
        if tag == "div" and "lane" in classes:
            self._lane = self.lanes.setdefault(a["data-key"], [])
        if tag == "div" and "activity" in classes:
            self._lane = self.activity
        if tag == "i" and self._lane is not None:
            self._lane.append((float(a["data-s"]), float(a["data-e"])))

    def handle_endtag(self, tag):
        while self._stack:
            open_tag, classes = self._stack.pop()
            if open_tag == "ol" and "domains" in classes:
                self._in_domains -= 1
            if open_tag == "div" and "row" in classes:
                self._row = None
            if open_tag == "span" and "name" in classes or open_tag == "p":
                self._text_target = None
            if open_tag == "div" and ("lane" in classes or "activity" in classes):
                self._lane = None
            if open_tag == tag:
                break

    def handle_data(self, data):
        if self._text_target == "name" and self._row is not None:
            self._row["name"] += data
        elif self._text_target == "notice":
            self.notice += data
