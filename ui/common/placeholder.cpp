namespace zudizar {}
