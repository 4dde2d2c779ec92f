"""The same two-million-sample half-sine file, the way an engineer would
write it with numpy: vectorised samples, np.savetxt, exponents widened to
three digits afterwards."""
import io
import re
import sys

import numpy as np

path = sys.argv[1]
rate, pulse, total = 10000.0, 0.011, 200.0
dt = 1.0 / rate
n = min(int(total / dt), 2_000_000)
t = np.arange(n, dtype=np.float64) * dt
a = np.zeros(n)
inside = ~(t > pulse)
a[inside] = 1.0 * np.sin((t[inside] * np.pi) / pulse)

buf = io.BytesIO()
np.savetxt(buf, np.column_stack([t, a]), fmt=" %13.6e \t %11.4e ", newline="\r\n")
text = re.sub(rb"e([+-])(\d\d)(?!\d)", rb"e\g<1>0\2", buf.getvalue())
with open(path, "wb") as f:
    f.write(text)
